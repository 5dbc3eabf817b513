#pragma once

#include "QuoteSteps.h"

#include <QObject>
#include <QStringList>

class QUndoStack;
class QuoteListModel;
class QuoteManager;

// The editor's undo history: every change made to the list in the editor (a removal, an
// addition, an edit submitted with Return, a move, an import) is a step of one QUndoStack, and
// each step is saved when it is made, undone and made again. Text typed into rows and not
// submitted yet becomes a step of its own before any other change, so that undoing that change
// never takes the typing with it.
class EditHistory : public QObject {
    Q_OBJECT

public:
    EditHistory(QuoteManager& manager, QuoteListModel& model, QObject* parent = nullptr);

    QUndoStack& stack() const { return *undoStack; }

    void remove(int row);
    void add(const QStringList& quotes);
    // Quotes an import has appended and saved already.
    void imported(const QStringList& quotes);
    // Moves row `from` so that it becomes row `to`.
    void move(int from, int to);
    // Saves what was typed into the rows, as one step when there is anything.
    void submit();
    // Makes the rows' unsaved text a step (and saves it); false when there was none.
    bool commitTyping();
    // The rows typed into and not submitted: how each read when saved, and reads now.
    QList<QuoteSteps::RowEdit> typing() const;
    void undo();
    void redo();

Q_SIGNALS:
    // A step was made, undone or made again: the rows' own typing histories are out of date.
    void stepTaken();

private:
    void push(class QUndoCommand* step);
    void saveQuotes();

    QuoteManager& manager;
    QuoteListModel& model;
    QUndoStack* undoStack = nullptr;
};
