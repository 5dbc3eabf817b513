#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class QUndoCommand;
class QuoteListModel;

// The steps of the editor's undo stack: removing, adding, editing and moving quotes. A step
// makes its change to the list through the model and saves it, one save each time it is done,
// undone or done again. A step finds its quote at its place while that still holds its text,
// else where the text occurs once (the list may have changed elsewhere since, by a reload or
// another program); when it finds nothing to act on it changes nothing and leaves the stack.
// Each step's text is the string key of its name ("DeleteQuoteStep"), for the Edit menu.
namespace QuoteSteps {

using Save = std::function<void()>;

// Removes the quote at the row.
std::unique_ptr<QUndoCommand> remove(QuoteListModel& model, Save save, int row, QString quote);
// Appends the quotes. With `done`, they are appended already (an import saved them): the first
// doing changes nothing.
std::unique_ptr<QUndoCommand> add(QuoteListModel& model, Save save, QStringList quotes,
                                  bool done = false);
// Rows edited in place, typed into and then submitted: the list holds `after` already, and
// the first doing saves it.
struct RowEdit {
    int row = -1;
    QString before;
    QString after;
};
std::unique_ptr<QUndoCommand> edit(QuoteListModel& model, Save save, QList<RowEdit> edits);
// Moves the quote at `from` so that it becomes row `to`.
std::unique_ptr<QUndoCommand> move(QuoteListModel& model, Save save, int from, int to,
                                   QString quote);

} // namespace QuoteSteps
