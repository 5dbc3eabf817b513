#include "QuotesView.h"

#include "Localization.h"
#include "QuoteManager.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

using namespace Qt::StringLiterals;

QString trimmedWhitespaceAndNewlines(const QString& text) {
    auto trims = [](QChar c) {
        const char16_t u = c.unicode();
        if (u == u'\t' || (u >= 0x0A && u <= 0x0D) || u == 0x85)
            return true;
        const auto category = c.category();
        return category == QChar::Separator_Space || category == QChar::Separator_Line ||
               category == QChar::Separator_Paragraph;
    };
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && trims(text.at(start)))
        ++start;
    while (end > start && trims(text.at(end - 1)))
        --end;
    return text.mid(start, end - start);
}

// ---------------------------------------------------------------------------------------------

QuoteListModel::QuoteListModel(QuoteManager& manager, QObject* parent)
    : QAbstractListModel(parent)
    , manager(manager)
    , rows(static_cast<int>(manager.quotes->size())) {
    connect(&manager, &ObservableObject::objectWillChange, this, [this] {
        if (!changingList)
            changedElsewhere = true;
    });
}

int QuoteListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows;
}

QVariant QuoteListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    // Between a change of the list and the next sync a row may be past its end.
    return manager.quotes->value(index.row());
}

bool QuoteListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    changingList = true;
    const bool replaced = manager.quotes.replace(index.row(), value.toString());
    changingList = false;
    // One keystroke, one row: the other rows' widgets are left alone.
    if (replaced && index.row() < rows)
        Q_EMIT dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return replaced;
}

Qt::ItemFlags QuoteListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::NoItemFlags;
}

void QuoteListModel::sync() {
    const int count = static_cast<int>(manager.quotes->size());
    if (count > rows) {
        beginInsertRows({}, rows, count - 1);
        rows = count;
        endInsertRows();
    } else if (count < rows) {
        beginRemoveRows({}, count, rows - 1);
        rows = count;
        endRemoveRows();
    }
    if (changedElsewhere && rows > 0)
        Q_EMIT dataChanged(index(0), index(rows - 1), {Qt::DisplayRole, Qt::EditRole});
    changedElsewhere = false;
}

bool QuoteListModel::removeQuote(int row) {
    sync();
    if (row < 0 || row >= rows)
        return false;
    beginRemoveRows({}, row, row);
    changingList = true;
    manager.quotes.removeAt(row);
    changingList = false;
    rows = static_cast<int>(manager.quotes->size());
    endRemoveRows();
    return true;
}

void QuoteListModel::appendQuote(const QString& quote) {
    sync();
    beginInsertRows({}, rows, rows);
    changingList = true;
    manager.quotes.append(quote);
    changingList = false;
    rows = static_cast<int>(manager.quotes->size());
    endInsertRows();
}

// ---------------------------------------------------------------------------------------------

namespace {

// One row of the list: the quote's field, then the trash button at the trailing edge.
class QuoteRow : public QWidget {
public:
    explicit QuoteRow(QWidget* parent)
        : QWidget(parent)
        , field(new QLineEdit(this))
        , removeButton(new QToolButton(this)) {
        field->setObjectName(u"quoteField"_s);
        // QLineEdit cuts text at 32767 characters by default; a quote has no limit.
        field->setMaxLength(std::numeric_limits<int>::max());
        removeButton->setObjectName(u"removeButton"_s);
        removeButton->setIcon(QIcon(u":/icons/trash.svg"_s));
        removeButton->setAutoRaise(true);
        removeButton->setCursor(Qt::PointingHandCursor);
        removeButton->setFocusPolicy(Qt::TabFocus);
        auto* layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(field, 1);
        layout->addSpacing(8);
        layout->addWidget(removeButton);
        setAutoFillBackground(false);
    }

    // Shows the quote, leaving the field alone (cursor, selection, undo history) when it
    // already does: most updates come from typing in this very field.
    void showQuote(const QString& quote) {
        if (field->text() == quote)
            return;
        updating = true;
        field->setText(quote);
        // A quote put here from outside shows from its beginning.
        field->setCursorPosition(0);
        updating = false;
    }

    QLineEdit* const field;
    QToolButton* const removeButton;
    bool updating = false;
};

constexpr int rowPadding = 4;

// QListView lays out every row again after any change of data, in case an item's size
// followed its text, and redraws the item. Rows here all have the same height whatever they
// hold, and the delegate draws nothing: what shows a row is its editor. So a change of one row
// only brings that row's editor up to date; a wider change goes the usual way, without the
// layout.
class QuoteListView : public QListView {
public:
    using QListView::QListView;

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles) override {
        if (topLeft == bottomRight && topLeft.isValid()) {
            if (QWidget* editor = indexWidget(topLeft))
                itemDelegateForIndex(topLeft)->setEditorData(editor, topLeft);
            return;
        }
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
    }
};

} // namespace

QuoteRowDelegate::QuoteRowDelegate(QuoteManager& manager, QuoteListModel& model,
                                   LocalizationManager& loc, QObject* parent)
    : QStyledItemDelegate(parent)
    , manager(manager)
    , model(model)
    , loc(loc) {}

QWidget* QuoteRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    auto* row = new QuoteRow(parent);
    row->field->setPlaceholderText(loc.localizedString(u"Quote"_s));
    const QPersistentModelIndex position(index);
    row->showQuote(index.data(Qt::EditRole).toString());
    connect(row->field, &QLineEdit::textChanged, row, [this, row, position](const QString& text) {
        // Every change writes the field's whole text into its element; nothing is saved.
        if (!row->updating && position.isValid())
            model.setData(position, text, Qt::EditRole);
    });
    connect(row->field, &QLineEdit::returnPressed, row, [this] { manager.saveQuotes(); });
    connect(row->removeButton, &QToolButton::clicked, row, [this, position] {
        if (position.isValid() && model.removeQuote(position.row()))
            manager.saveQuotes();
    });
    return row;
}

void QuoteRowDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    static_cast<QuoteRow*>(editor)->showQuote(index.data(Qt::EditRole).toString());
}

void QuoteRowDelegate::setModelData(QWidget*, QAbstractItemModel*, const QModelIndex&) const {
    // Rows write their text at every change already.
}

void QuoteRowDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                            const QModelIndex&) const {
    editor->setGeometry(option.rect.adjusted(6, rowPadding, -6, -rowPadding));
}

QSize QuoteRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    if (rowHeight == 0) {
        const QLineEdit field;
        const QToolButton button;
        rowHeight =
            std::max(field.sizeHint().height(), button.sizeHint().height()) + 2 * rowPadding;
    }
    return {200, rowHeight};
}

void QuoteRowDelegate::paint(QPainter*, const QStyleOptionViewItem&, const QModelIndex&) const {}

bool QuoteRowDelegate::eventFilter(QObject*, QEvent*) {
    return false;
}

// ---------------------------------------------------------------------------------------------

QuotesView::QuotesView(QuoteManager& manager, LocalizationManager& loc, QWidget* parent)
    : QWidget(parent)
    , manager(manager)
    , loc(loc)
    , model(new QuoteListModel(manager, this))
    , delegate(new QuoteRowDelegate(manager, *model, loc, this))
    , list(new QuoteListView(this))
    , newQuoteEdit(new QLineEdit(this))
    , addQuoteButton(new QPushButton(this))
    , importQuotesButton(new QPushButton(this))
    , importStatusLabel(new QLabel(this)) {
    setMinimumSize(400, 300);

    newQuoteEdit->setMaxLength(std::numeric_limits<int>::max());
    list->setObjectName(u"quoteList"_s);
    list->setModel(model);
    list->setItemDelegate(delegate);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setUniformItemSizes(true);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list->setFocusPolicy(Qt::NoFocus);
    list->viewport()->installEventFilter(this);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    newQuoteEdit->setObjectName(u"newQuoteField"_s);
    newQuoteEdit->setStyleSheet(u"QLineEdit { border: 1px solid palette(mid); border-radius: 6px;"
                                " padding: 3px 6px; background: palette(base); }"_s);
    addQuoteButton->setObjectName(u"addButton"_s);
    importQuotesButton->setObjectName(u"importButton"_s);
    importStatusLabel->setObjectName(u"importStatus"_s);
    importStatusLabel->setWordWrap(true);
    importStatusLabel->setContentsMargins(11, 0, 11, 8);
    importStatusLabel->hide();

    auto* addBar = new QHBoxLayout;
    addBar->addWidget(newQuoteEdit, 1);
    addBar->addWidget(addQuoteButton);
    addBar->addWidget(importQuotesButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list, 1);
    layout->addWidget(divider);
    auto* padded = new QWidget(this);
    padded->setLayout(addBar);
    layout->addWidget(padded);
    layout->addWidget(importStatusLabel);

    connect(newQuoteEdit, &QLineEdit::returnPressed, this, &QuotesView::addQuote);
    connect(newQuoteEdit, &QLineEdit::textChanged, this, &QuotesView::updateAddButton);
    connect(addQuoteButton, &QPushButton::clicked, this, &QuotesView::addQuote);
    connect(importQuotesButton, &QPushButton::clicked, this, &QuotesView::chooseFileToImport);
    // The managers announce a change before it is stored: redraw once it has been.
    connect(&manager, &ObservableObject::objectWillChange, this, &QuotesView::scheduleRefresh);
    connect(&loc, &ObservableObject::objectWillChange, this, &QuotesView::scheduleRefresh);
    connect(model, &QAbstractItemModel::rowsInserted, this, &QuotesView::syncRowWidgets);
    connect(model, &QAbstractItemModel::rowsRemoved, this, &QuotesView::syncRowWidgets);
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &QuotesView::syncRowWidgets);

    updateTexts();
    updateAddButton();
    syncRowWidgets();
}

QString QuotesView::newQuote() const {
    return newQuoteEdit->text();
}

QWidget* QuotesView::rowWidget(int row) const {
    return list->indexWidget(model->index(row));
}

bool QuotesView::eventFilter(QObject* object, QEvent* event) {
    if (object == list->viewport() && event->type() == QEvent::Resize)
        syncRowWidgets();
    return QWidget::eventFilter(object, event);
}

void QuotesView::addQuote() {
    const QString quote = trimmedWhitespaceAndNewlines(newQuoteEdit->text());
    if (quote.isEmpty())
        return;
    model->appendQuote(quote);
    manager.saveQuotes();
    newQuoteEdit->clear();
    list->scrollToBottom();
}

void QuotesView::chooseFileToImport() {
    // The folder of the last import, else the collections installed with the program.
    const QString folder =
        lastImportPath.isEmpty() ? installedQuotesFolder() : QFileInfo(lastImportPath).path();
    auto* dialog = new QFileDialog(this, loc.localizedString(u"ImportQuotesTitle"_s), folder);
    dialog->setObjectName(u"importDialog"_s);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &QuotesView::importQuotes);
    dialog->open();
}

void QuotesView::importQuotes(const QString& path) {
    const int before = static_cast<int>(manager.quotes->size());
    lastImportPath = path;
    lastImport = importQuotesFile(manager, path);
    updateTexts();
    importStatusLabel->show();
    if (lastImport->added > 0) {
        // The first of the new quotes shows at the top.
        model->sync();
        list->scrollTo(model->index(before), QAbstractItemView::PositionAtTop);
    }
}

void QuotesView::scheduleRefresh() {
    if (refreshScheduled)
        return;
    refreshScheduled = true;
    QTimer::singleShot(0, this, &QuotesView::refresh);
}

void QuotesView::refresh() {
    refreshScheduled = false;
    model->sync();
    updateTexts();
    syncRowWidgets();
}

void QuotesView::updateTexts() {
    newQuoteEdit->setPlaceholderText(loc.localizedString(u"AddNewQuote"_s));
    addQuoteButton->setText(loc.localizedString(u"Add"_s));
    importQuotesButton->setText(loc.localizedString(u"Import"_s));
    if (lastImport) {
        const QString file = QFileInfo(lastImportPath).fileName();
        if (!lastImport->succeeded)
            importStatusLabel->setText(
                loc.localizedString(u"ImportFailed"_s).arg(lastImport->error));
        else if (lastImport->added == 0)
            importStatusLabel->setText(loc.localizedString(u"ImportedNoQuotes"_s).arg(file));
        else
            importStatusLabel->setText(loc.localizedString(lastImport->added == 1
                                                               ? u"ImportedOneQuote"_s
                                                               : u"ImportedQuotes"_s)
                                           .arg(QString::number(lastImport->added), file));
    }
    const QString placeholder = loc.localizedString(u"Quote"_s);
    for (const QPersistentModelIndex& index : std::as_const(openRows)) {
        if (auto* row = qobject_cast<QWidget*>(list->indexWidget(index))) {
            if (auto* field = row->findChild<QLineEdit*>(u"quoteField"_s))
                field->setPlaceholderText(placeholder);
        }
    }
}

void QuotesView::updateAddButton() {
    addQuoteButton->setEnabled(!trimmedWhitespaceAndNewlines(newQuoteEdit->text()).isEmpty());
}

void QuotesView::syncRowWidgets() {
    const int count = model->rowCount();
    const int height = std::max(1, delegate->sizeHint({}, {}).height());
    const int top = list->verticalScrollBar()->value();
    const int first = std::max(0, top / height - 2);
    const int last = std::min(count - 1, (top + list->viewport()->height()) / height + 2);

    QWidget* focus = QApplication::focusWidget();
    for (auto it = openRows.begin(); it != openRows.end();) {
        if (!it->isValid()) {
            it = openRows.erase(it);
            continue;
        }
        const int row = it->row();
        QWidget* widget = list->indexWidget(*it);
        const bool typingHere = widget && focus && widget->isAncestorOf(focus);
        if ((row < first || row > last) && !typingHere) {
            list->closePersistentEditor(*it);
            it = openRows.erase(it);
        } else {
            ++it;
        }
    }
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model->index(row);
        if (!list->isPersistentEditorOpen(index)) {
            list->openPersistentEditor(index);
            openRows.append(index);
        }
    }
}
