#include "QuoteSteps.h"

#include "QuoteListModel.h"

#include <QUndoCommand>

using namespace Qt::StringLiterals;

namespace QuoteSteps {

namespace {

QString quoteAt(const QuoteListModel& model, int row) {
    return model.data(model.index(row), Qt::EditRole).toString();
}

// The row holding the text: at its place if it still does, else the only row that does.
int findRow(const QuoteListModel& model, int row, const QString& text) {
    const int count = model.rowCount();
    if (row >= 0 && row < count && quoteAt(model, row) == text)
        return row;
    int found = -1;
    for (int i = 0; i < count; ++i) {
        if (quoteAt(model, i) != text)
            continue;
        if (found >= 0)
            return -1;
        found = i;
    }
    return found;
}

class Step : public QUndoCommand {
public:
    Step(QuoteListModel& model, Save save, const QString& key)
        : model(model)
        , save(std::move(save)) {
        setText(key);
    }

    void redo() override { finish(doIt()); }
    void undo() override { finish(undoIt()); }

protected:
    // Each makes the change to the list; false when there was nothing to act on.
    virtual bool doIt() = 0;
    virtual bool undoIt() = 0;

    QuoteListModel& model;

private:
    void finish(bool changed) {
        if (changed)
            save();
        else
            setObsolete(true);
    }

    Save save;
};

class Remove final : public Step {
public:
    Remove(QuoteListModel& model, Save save, int row, QString quote)
        : Step(model, std::move(save), u"DeleteQuoteStep"_s)
        , row(row)
        , quote(std::move(quote)) {}

protected:
    bool doIt() override {
        const int found = findRow(model, row, quote);
        if (found < 0 || !model.removeQuote(found))
            return false;
        row = found;
        return true;
    }
    bool undoIt() override { return model.insertQuote(std::min(row, model.rowCount()), quote); }

private:
    int row;
    const QString quote;
};

class Add final : public Step {
public:
    Add(QuoteListModel& model, Save save, QStringList quotes, bool done)
        : Step(model, std::move(save), quotes.size() == 1 ? u"AddQuoteStep"_s : u"AddQuotesStep"_s)
        , quotes(std::move(quotes))
        , done(done) {}

    void redo() override {
        // An import has appended and saved its quotes itself.
        if (done) {
            done = false;
            return;
        }
        Step::redo();
    }

protected:
    bool doIt() override {
        for (const QString& quote : quotes)
            model.appendQuote(quote);
        return !quotes.isEmpty();
    }
    bool undoIt() override {
        // From the last, each where it was appended if it is still there.
        bool changed = false;
        for (qsizetype i = quotes.size() - 1; i >= 0; --i) {
            const int last = model.rowCount() - 1;
            const int found =
                quoteAt(model, last) == quotes[i] ? last : findRow(model, -1, quotes[i]);
            changed = (found >= 0 && model.removeQuote(found)) || changed;
        }
        return changed;
    }

private:
    const QStringList quotes;
    bool done;
};

class Edit final : public Step {
public:
    Edit(QuoteListModel& model, Save save, QList<RowEdit> edits)
        : Step(model, std::move(save), u"EditQuoteStep"_s)
        , edits(std::move(edits)) {}

protected:
    bool doIt() override {
        // At first the rows read so already: they were typed into.
        if (first) {
            first = false;
            return true;
        }
        return apply(&RowEdit::before, &RowEdit::after);
    }
    bool undoIt() override { return apply(&RowEdit::after, &RowEdit::before); }

private:
    bool apply(QString RowEdit::*from, QString RowEdit::*to) {
        bool changed = false;
        for (RowEdit& edit : edits) {
            const int found = findRow(model, edit.row, edit.*from);
            if (found < 0)
                continue;
            edit.row = found;
            model.setData(model.index(found), edit.*to, Qt::EditRole);
            changed = true;
        }
        return changed;
    }

    QList<RowEdit> edits;
    bool first = true;
};

class Move final : public Step {
public:
    Move(QuoteListModel& model, Save save, int from, int to, QString quote)
        : Step(model, std::move(save), u"MoveQuoteStep"_s)
        , from(from)
        , to(to)
        , quote(std::move(quote)) {}

protected:
    bool doIt() override { return moveBetween(from, to); }
    bool undoIt() override { return moveBetween(to, from); }

private:
    bool moveBetween(int start, int end) {
        const int found = findRow(model, start, quote);
        const int last = model.rowCount() - 1;
        return found >= 0 && model.moveQuote(found, std::clamp(end, 0, last));
    }

    const int from;
    const int to;
    const QString quote;
};

} // namespace

std::unique_ptr<QUndoCommand> remove(QuoteListModel& model, Save save, int row, QString quote) {
    return std::make_unique<Remove>(model, std::move(save), row, std::move(quote));
}

std::unique_ptr<QUndoCommand> add(QuoteListModel& model, Save save, QStringList quotes, bool done) {
    return std::make_unique<Add>(model, std::move(save), std::move(quotes), done);
}

std::unique_ptr<QUndoCommand> edit(QuoteListModel& model, Save save, QList<RowEdit> edits) {
    return std::make_unique<Edit>(model, std::move(save), std::move(edits));
}

std::unique_ptr<QUndoCommand> move(QuoteListModel& model, Save save, int from, int to,
                                   QString quote) {
    return std::make_unique<Move>(model, std::move(save), from, to, std::move(quote));
}

} // namespace QuoteSteps
