#include "EditHistory.h"

#include "QuoteListModel.h"
#include "QuoteManager.h"
#include "QuoteSteps.h"

#include <QUndoStack>

EditHistory::EditHistory(QuoteManager& manager, QuoteListModel& model, QObject* parent)
    : QObject(parent)
    , manager(manager)
    , model(model)
    , undoStack(new QUndoStack(this)) {}

void EditHistory::saveQuotes() {
    manager.saveQuotes();
}

void EditHistory::push(QUndoCommand* step) {
    undoStack->push(step);
    Q_EMIT stepTaken();
}

QList<QuoteSteps::RowEdit> EditHistory::typing() const {
    const QStringList& saved = manager.savedQuotes();
    const QStringList& now = manager.quotes;
    // Only rows typed into differ: every other change is saved when it is made.
    QList<QuoteSteps::RowEdit> edits;
    if (saved.size() != now.size())
        return edits;
    for (qsizetype i = 0; i < now.size(); ++i) {
        if (saved[i] != now[i])
            edits.append({static_cast<int>(i), saved[i], now[i]});
    }
    return edits;
}

bool EditHistory::commitTyping() {
    model.sync();
    QList<QuoteSteps::RowEdit> edits = typing();
    if (edits.isEmpty())
        return false;
    push(QuoteSteps::edit(
             model, [this] { saveQuotes(); }, std::move(edits))
             .release());
    return true;
}

void EditHistory::submit() {
    if (!commitTyping())
        saveQuotes();
}

void EditHistory::remove(int row) {
    commitTyping();
    const QString quote = model.data(model.index(row), Qt::EditRole).toString();
    if (row >= 0 && row < model.rowCount())
        push(QuoteSteps::remove(
                 model, [this] { saveQuotes(); }, row, quote)
                 .release());
}

void EditHistory::add(const QStringList& quotes) {
    commitTyping();
    push(QuoteSteps::add(
             model, [this] { saveQuotes(); }, quotes)
             .release());
}

void EditHistory::imported(const QStringList& quotes) {
    push(QuoteSteps::add(
             model, [this] { saveQuotes(); }, quotes, true)
             .release());
}

void EditHistory::move(int from, int to) {
    commitTyping();
    const int rows = model.rowCount();
    if (from < 0 || from >= rows || to < 0 || to >= rows || from == to)
        return;
    const QString quote = model.data(model.index(from), Qt::EditRole).toString();
    push(QuoteSteps::move(
             model, [this] { saveQuotes(); }, from, to, quote)
             .release());
}

void EditHistory::undo() {
    // Typing not submitted is the newest change: it becomes a step, and is the one undone.
    commitTyping();
    undoStack->undo();
    Q_EMIT stepTaken();
}

void EditHistory::redo() {
    undoStack->redo();
    Q_EMIT stepTaken();
}
