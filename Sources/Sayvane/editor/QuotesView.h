#pragma once

#include "QuoteFileImport.h"

#include <QPersistentModelIndex>
#include <QWidget>

#include <optional>

class LocalizationManager;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QuoteListModel;
class QuoteManager;
class QuoteRowDelegate;

// The content of the editor window: a row for each quote, editable in place and removable,
// and below them a field and a button to add a new quote. It keeps no copy of the list, and
// follows every change of the quote manager and of the interface language.
class QuotesView : public QWidget {
    Q_OBJECT

public:
    QuotesView(QuoteManager& manager, LocalizationManager& loc, QWidget* parent = nullptr);

    // The text of the new-quote field.
    QString newQuote() const;

    QListView* listView() const { return list; }
    QLineEdit* newQuoteField() const { return newQuoteEdit; }
    QPushButton* addButton() const { return addQuoteButton; }
    QPushButton* importButton() const { return importQuotesButton; }
    // The line under the add bar that tells what the last import did; hidden until then.
    QLabel* importStatus() const { return importStatusLabel; }
    // Imports the file's quotes (plain text or fortune) and tells what came of it.
    void importQuotes(const QString& path);
    // The row widget showing row i, if it is in view.
    QWidget* rowWidget(int row) const;

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
    // Opens row widgets for the rows in view and closes those far out of it.
    void syncRowWidgets();

    QuoteManager& manager;
    LocalizationManager& loc;
    QuoteListModel* model = nullptr;
    QuoteRowDelegate* delegate = nullptr;
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
