#pragma once

#include "QuoteFileImport.h"

#include <QAbstractListModel>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QWidget>

#include <optional>

class LocalizationManager;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QuoteManager;

// Trims the characters of the whitespace-and-newline set from both ends: the space,
// line and paragraph separators (Zs, Zl, Zp), tab, U+000A to U+000D and U+0085.
QString trimmedWhitespaceAndNewlines(const QString& text);

// The quote manager's list as rows of a list view. The model keeps no copy of the quotes: it
// reads and writes the manager's list, and only its row count is its own, brought up to date
// after each change of the list (the list announces a change before it happens). A change the
// model makes itself (a keystroke in a row, a removal, an addition) is signalled for its own
// rows only; any other change of the list, such as a reload, for every row at the next sync.
class QuoteListModel : public QAbstractListModel {
    Q_OBJECT

public:
    explicit QuoteListModel(QuoteManager& manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Brings the rows up to the manager's list as it is now.
    void sync();
    // Removes row i from the list, moving the rows after it up. False if there is no row i.
    bool removeQuote(int row);
    void appendQuote(const QString& quote);

private:
    QuoteManager& manager;
    int rows = 0;
    bool changingList = false;
    bool changedElsewhere = false;
};

// Draws nothing itself: every visible row is an editor widget (a field and a trash button).
class QuoteRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    QuoteRowDelegate(QuoteManager& manager, QuoteListModel& model, LocalizationManager& loc,
                     QObject* parent = nullptr);

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

protected:
    // The rows handle their own keys and focus: Return saves, and the field keeps the focus.
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    QuoteManager& manager;
    QuoteListModel& model;
    LocalizationManager& loc;
    mutable int rowHeight = 0;
};

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
