#pragma once

#include "QuoteFileImport.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <optional>

class EditHistory;
class LocalizationManager;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QuoteFilter;
class QuoteListModel;
class QuoteManager;
class QuoteRowDelegate;

// The content of the editor window: a field to find quotes, a row for each quote (each that
// contains the text sought), editable in place and removable, and below them a field and a
// button to add a new quote. It keeps no copy of the list, and follows every change of the quote
// manager and of the interface language.
class QuotesView : public QWidget {
    Q_OBJECT

public:
    QuotesView(QuoteManager& manager, LocalizationManager& loc, QWidget* parent = nullptr);

    // The text of the new-quote field.
    QString newQuote() const;

    QListView* listView() const { return list; }
    // The search field above the list; the rows shown contain its text.
    QLineEdit* findField() const { return findEdit; }
    // Says that no quote contains the text sought; hidden otherwise.
    QLabel* noMatches() const { return noMatchesLabel; }
    QLineEdit* newQuoteField() const { return newQuoteEdit; }
    QPushButton* addButton() const { return addQuoteButton; }
    QPushButton* importButton() const { return importQuotesButton; }
    // The line under the add bar that tells what the last import did; hidden until then.
    QLabel* importStatus() const { return importStatusLabel; }
    // Imports the file's quotes (plain text or fortune) and tells what came of it.
    void importQuotes(const QString& path);
    // The row widget showing row i of the list, if it is in view.
    QWidget* rowWidget(int row) const;
    // Every change made here, as steps that can be undone.
    EditHistory& history() const { return *editHistory; }
    // The string key of the step that undo() would take back ("DeleteQuoteStep"), and of the
    // one redo() would make again; empty when there is none, or when the focused field would
    // take back (or make again) its own typing instead.
    QString undoStep() const;
    QString redoStep() const;

public Q_SLOTS:
    // Puts the keyboard in the search field, its text selected (Edit > Find, Ctrl+F).
    void find();
    // The Edit menu's Undo and Redo, once the focused field has no typing of its own to take
    // back: the list's last step.
    void undo();
    void redo();
    // The focused row goes one place up or down among the rows shown (Alt+Up, Alt+Down).
    void moveUp();
    void moveDown();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    void addQuote();
    // Opens a file dialog; the file chosen is imported.
    void chooseFileToImport();
    void scheduleRefresh();
    void refresh();
    void updateTexts();
    void updateAddButton();
    void search(const QString& text);
    void moveFocusedRow(int direction);
    // Text fields take back their own typing with Ctrl+Z; with none, the key goes to the menu.
    void watchUndoKeys(QWidget* field);
    // After a step, what the rows' fields could undo is saved or undone already.
    void forgetTyping();
    void updateNoMatches();
    // Opens row widgets for the rows in view and closes those far out of it.
    void syncRowWidgets();

    QuoteManager& manager;
    LocalizationManager& loc;
    QuoteListModel* model = nullptr;
    QuoteFilter* filter = nullptr;
    EditHistory* editHistory = nullptr;
    QuoteRowDelegate* delegate = nullptr;
    QLineEdit* findEdit = nullptr;
    QLabel* noMatchesLabel = nullptr;
    QListView* list = nullptr;
    QLineEdit* newQuoteEdit = nullptr;
    QPushButton* addQuoteButton = nullptr;
    QPushButton* importQuotesButton = nullptr;
    QLabel* importStatusLabel = nullptr;
    std::optional<QuoteFileImport> lastImport;
    QString lastImportPath;
    QList<QPersistentModelIndex> openRows;
    bool refreshScheduled = false;
};
