#include "QuotesView.h"

#include "EditHistory.h"
#include "EditMenu.h"
#include "Localization.h"
#include "QtTranslations.h"
#include "QuoteFilter.h"
#include "QuoteListModel.h"
#include "QuoteManager.h"
#include "QuoteRowDelegate.h"
#include "QuoteText.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// QListView lays out every row again after any change of data, in case an item's size
// followed its text, and redraws the item. Rows here all have the same height whatever they
// hold, and the delegate draws nothing: what shows a row is its editor. So a change of one row
// only brings that row's editor up to date; a wider change goes the usual way, without the
// layout.
class QuoteListView : public QListView {
public:
    using QListView::QListView;

    // The rows' editors fitted to the viewport as it is now. The list fits them when it lays
    // its items out, but not when the viewport alone changes width: the scroll bars of the
    // first layout, made before the window had its size, left the trash buttons 14 pixels off
    // their place until the first change of the rows.
    void fitEditors() { updateEditorGeometries(); }

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

// The list as assistive technologies see it: the rows' own fields and trash buttons, which are
// what edits the quotes, rather than read-only cells beside them.
QAccessibleInterface* accessibleQuoteList(const QString& className, QObject* object) {
    if (className != u"QListView"_s || !object || object->objectName() != u"quoteList"_s)
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::List);
}

} // namespace

QuotesView::QuotesView(QuoteManager& manager, LocalizationManager& loc, QWidget* parent)
    : QWidget(parent)
    , manager(manager)
    , loc(loc)
    , model(new QuoteListModel(manager, this))
    , filter(new QuoteFilter(this))
    , editHistory(new EditHistory(manager, *model, this))
    , delegate(new QuoteRowDelegate(*model, loc, this))
    , findEdit(new QLineEdit(this))
    , noMatchesLabel(new QLabel(this))
    , list(new QuoteListView(this))
    , newQuoteEdit(new QLineEdit(this))
    , addQuoteButton(new QPushButton(this))
    , importQuotesButton(new QPushButton(this))
    , importStatusLabel(new QLabel(this)) {
    setMinimumSize(400, 300);
    static const bool accessible = [] {
        QAccessible::installFactory(accessibleQuoteList);
        return true;
    }();
    Q_UNUSED(accessible);

    newQuoteEdit->setMaxLength(std::numeric_limits<int>::max());
    list->setObjectName(u"quoteList"_s);
    filter->setSourceModel(model);
    list->setModel(filter);
    list->setItemDelegate(delegate);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setUniformItemSizes(true);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    // Rows dragged by their grip are dropped between others.
    list->setDragDropMode(QAbstractItemView::DropOnly);
    list->setDefaultDropAction(Qt::MoveAction);
    list->setDropIndicatorShown(true);
    list->setFocusPolicy(Qt::NoFocus);
    list->viewport()->installEventFilter(this);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);

    findEdit->setObjectName(u"findField"_s);
    findEdit->setClearButtonEnabled(true);
    findEdit->installEventFilter(this);
    // Ctrl+Z after removing a quote found here brings the quote back, not the search's typing.
    findEdit->setProperty(EditMenu::leavesUndoToParents, true);
    noMatchesLabel->setObjectName(u"noMatches"_s);
    noMatchesLabel->setAlignment(Qt::AlignCenter);
    noMatchesLabel->setWordWrap(true);
    noMatchesLabel->setTextFormat(Qt::PlainText);
    noMatchesLabel->setContentsMargins(11, 11, 11, 11);
    noMatchesLabel->hide();

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
    auto* findBar = new QHBoxLayout;
    findBar->setContentsMargins(11, 8, 11, 0);
    findBar->addWidget(findEdit);
    layout->addLayout(findBar);
    layout->addWidget(noMatchesLabel);
    layout->addWidget(list, 1);
    layout->addWidget(divider);
    auto* padded = new QWidget(this);
    padded->setLayout(addBar);
    layout->addWidget(padded);
    layout->addWidget(importStatusLabel);

    delegate->onSubmit = [this](int) { editHistory->submit(); };
    delegate->onRemove = [this](int row) { editHistory->remove(row); };
    connect(model, &QuoteListModel::moveRequested, editHistory, &EditHistory::move);
    connect(editHistory, &EditHistory::stepTaken, this, &QuotesView::forgetTyping);
    watchUndoKeys(findEdit);
    watchUndoKeys(newQuoteEdit);
    connect(findEdit, &QLineEdit::textChanged, this, &QuotesView::search);
    connect(newQuoteEdit, &QLineEdit::returnPressed, this, &QuotesView::addQuote);
    connect(newQuoteEdit, &QLineEdit::textChanged, this, &QuotesView::updateAddButton);
    // Text typed here and not added yet is saved as an addition at Quit and at signals.
    connect(newQuoteEdit, &QLineEdit::textChanged, this,
            [&manager](const QString& text) { manager.setNewQuoteDraft(text); });
    connect(addQuoteButton, &QPushButton::clicked, this, &QuotesView::addQuote);
    connect(importQuotesButton, &QPushButton::clicked, this, &QuotesView::chooseFileToImport);
    // The managers announce a change before it is stored: redraw once it has been.
    connect(&manager, &ObservableObject::objectWillChange, this, &QuotesView::scheduleRefresh);
    connect(&loc, &ObservableObject::objectWillChange, this, &QuotesView::scheduleRefresh);
    connect(filter, &QAbstractItemModel::rowsInserted, this, &QuotesView::syncRowWidgets);
    connect(filter, &QAbstractItemModel::rowsRemoved, this, &QuotesView::syncRowWidgets);
    connect(filter, &QAbstractItemModel::rowsInserted, this, &QuotesView::updateNoMatches);
    connect(filter, &QAbstractItemModel::rowsRemoved, this, &QuotesView::updateNoMatches);
    // A reload is searched again; a keystroke in a row is not, so the row stays in view.
    connect(model, &QuoteListModel::listChangedElsewhere, this, [this] {
        if (filter->isFiltering())
            search(findEdit->text());
    });
    connect(list->verticalScrollBar(), &QScrollBar::valueChanged, this,
            &QuotesView::syncRowWidgets);
    // A row reached by Tab comes into view, and the rows after it are opened, so that Tab walks
    // the whole list.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now || !list->viewport()->isAncestorOf(now))
            return;
        for (const QPersistentModelIndex& index : std::as_const(openRows)) {
            if (QWidget* row = list->indexWidget(index); row && row->isAncestorOf(now)) {
                list->scrollTo(index);
                return;
            }
        }
    });

    updateTexts();
    updateAddButton();
    syncRowWidgets();
    // The window opens ready for a new quote.
    newQuoteEdit->setFocus();
}

QString QuotesView::newQuote() const {
    return newQuoteEdit->text();
}

QWidget* QuotesView::rowWidget(int row) const {
    return list->indexWidget(filter->mapFromSource(model->index(row)));
}

void QuotesView::find() {
    findEdit->setFocus(Qt::ShortcutFocusReason);
    findEdit->selectAll();
}

namespace {

// The focused text field of the widget that takes back its own typing, if there is one.
const QLineEdit* focusedField(const QWidget* widget) {
    auto* field = qobject_cast<const QLineEdit*>(QApplication::focusWidget());
    return field && widget->isAncestorOf(field) &&
                   !field->property(EditMenu::leavesUndoToParents).toBool()
               ? field
               : nullptr;
}

} // namespace

QString QuotesView::undoStep() const {
    const QLineEdit* field = focusedField(this);
    if (field && field->isUndoAvailable())
        return {};
    // Typing not submitted is undone first, as an edit.
    if (!editHistory->typing().isEmpty())
        return u"EditQuoteStep"_s;
    const QUndoStack& stack = editHistory->stack();
    return stack.canUndo() ? stack.undoText() : QString();
}

QString QuotesView::redoStep() const {
    const QLineEdit* field = focusedField(this);
    if (field && field->isRedoAvailable())
        return {};
    const QUndoStack& stack = editHistory->stack();
    return stack.canRedo() ? stack.redoText() : QString();
}

void QuotesView::undo() {
    editHistory->undo();
}

void QuotesView::redo() {
    editHistory->redo();
}

void QuotesView::moveUp() {
    moveFocusedRow(-1);
}

void QuotesView::moveDown() {
    moveFocusedRow(1);
}

void QuotesView::moveFocusedRow(int direction) {
    QWidget* focus = QApplication::focusWidget();
    for (const QPersistentModelIndex& shown : std::as_const(openRows)) {
        QWidget* row = list->indexWidget(shown);
        if (!row || !focus || !row->isAncestorOf(focus))
            continue;
        // Among the rows shown: past the neighbour the search leaves in view.
        const QModelIndex neighbour = filter->index(shown.row() + direction, 0);
        if (!neighbour.isValid())
            return;
        editHistory->move(filter->mapToSource(shown).row(), filter->mapToSource(neighbour).row());
        list->scrollTo(shown);
        return;
    }
}

void QuotesView::watchUndoKeys(QWidget* field) {
    field->installEventFilter(this);
}

void QuotesView::forgetTyping() {
    for (const QPersistentModelIndex& shown : std::as_const(openRows)) {
        if (QWidget* row = list->indexWidget(shown))
            delegate->forgetTyping(row);
    }
}

bool QuotesView::eventFilter(QObject* object, QEvent* event) {
    // A viewport resized while hidden gets no resize event of its own when it is shown.
    if (object == list->viewport() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
        syncRowWidgets();
        static_cast<QuoteListView*>(list)->fitEditors();
    }
    // A field with nothing of its own to take back leaves Ctrl+Z (Ctrl+Shift+Z) to the menu's
    // Undo (Redo), which takes back the list's last step.
    if (event->type() == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const auto* field = qobject_cast<QLineEdit*>(object);
        const bool own = field && !field->property(EditMenu::leavesUndoToParents).toBool();
        if (field && ((key->matches(QKeySequence::Undo) && !(own && field->isUndoAvailable())) ||
                      (key->matches(QKeySequence::Redo) && !(own && field->isRedoAvailable())))) {
            event->ignore();
            return true;
        }
    }
    // Escape in the search field shows every quote again.
    if (object == findEdit && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !findEdit->text().isEmpty()) {
        findEdit->clear();
        return true;
    }
    return QWidget::eventFilter(object, event);
}

void QuotesView::search(const QString& text) {
    filter->setSearchText(text);
    syncRowWidgets();
    updateNoMatches();
}

void QuotesView::updateNoMatches() {
    const bool none = filter->isFiltering() && filter->rowCount() == 0;
    if (none)
        noMatchesLabel->setText(
            loc.localizedString(u"NoMatches"_s).arg(filter->searchText().trimmed()));
    noMatchesLabel->setVisible(none);
}

void QuotesView::addQuote() {
    const QString quote = trimmedWhitespaceAndNewlines(newQuoteEdit->text());
    if (isBlankQuote(quote))
        return;
    editHistory->add({quote});
    // Emptied without an undo step of its own: Ctrl+Z then takes back the addition.
    newQuoteEdit->setText(QString());
    list->scrollToBottom();
}

void QuotesView::chooseFileToImport() {
    // The folder of the last import, else the collections installed with the program, else the
    // home folder (not the folder the program happened to be started in).
    QString folder =
        lastImportPath.isEmpty() ? installedQuotesFolder() : QFileInfo(lastImportPath).path();
    if (folder.isEmpty())
        folder = QDir::homePath();
    auto* dialog = new QFileDialog(this, loc.localizedString(u"ImportQuotesTitle"_s), folder);
    dialog->setObjectName(u"importDialog"_s);
    // The desktop's own dialog speaks the session's language; where that is not the program's,
    // Qt's dialog speaks the program's (with the program's own texts for Tiếng Việt).
    dialog->setOption(QFileDialog::DontUseNativeDialog,
                      !QtTranslations::desktopSpeaks(loc.currentLanguage.get()));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, &QuotesView::importQuotes);
    dialog->open();
}

void QuotesView::importQuotes(const QString& path) {
    // The import saves the list: what was typed is a step of its own first.
    editHistory->commitTyping();
    const int before = static_cast<int>(manager.quotes->size());
    lastImportPath = path;
    lastImport = importQuotesFile(manager, path);
    updateTexts();
    importStatusLabel->show();
    if (lastImport->added > 0) {
        editHistory->imported(manager.quotes->mid(manager.quotes->size() - lastImport->added));
        // The first of the new quotes shows at the top.
        model->sync();
        list->scrollTo(filter->mapFromSource(model->index(before)),
                       QAbstractItemView::PositionAtTop);
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
    list->setAccessibleName(loc.localizedString(u"QuoteList"_s));
    findEdit->setPlaceholderText(loc.localizedString(u"Find"_s));
    findEdit->setAccessibleName(loc.localizedString(u"FindQuotes"_s));
    // The field's own clear button, which Qt leaves unnamed.
    for (QToolButton* clear : findEdit->findChildren<QToolButton*>())
        clear->setAccessibleName(loc.localizedString(u"ClearSearch"_s));
    updateNoMatches();
    newQuoteEdit->setPlaceholderText(loc.localizedString(u"AddNewQuote"_s));
    newQuoteEdit->setAccessibleName(loc.localizedString(u"NewQuote"_s));
    newQuoteEdit->setAccessibleDescription(loc.localizedString(u"NewQuoteDescription"_s));
    addQuoteButton->setText(loc.localizedString(u"Add"_s));
    addQuoteButton->setAccessibleDescription(loc.localizedString(u"AddDescription"_s));
    importQuotesButton->setText(loc.localizedString(u"Import"_s));
    importQuotesButton->setAccessibleName(loc.localizedString(u"ImportQuotesTitle"_s));
    importQuotesButton->setAccessibleDescription(loc.localizedString(u"ImportDescription"_s));
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
    for (const QPersistentModelIndex& index : std::as_const(openRows)) {
        // Numbered by its place in the list, also while a search shows some rows only.
        if (QWidget* row = list->indexWidget(index)) {
            delegate->updateTexts(row);
            delegate->nameRow(row, filter->mapToSource(index).row());
        }
    }
}

void QuotesView::updateAddButton() {
    addQuoteButton->setEnabled(!isBlankQuote(trimmedWhitespaceAndNewlines(newQuoteEdit->text())));
}

void QuotesView::syncRowWidgets() {
    const int count = filter->rowCount();
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
        const QModelIndex index = filter->index(row, 0);
        if (!list->isPersistentEditorOpen(index)) {
            list->openPersistentEditor(index);
            openRows.append(index);
            if (auto* field = list->indexWidget(index)->findChild<QLineEdit*>())
                watchUndoKeys(field);
        }
    }
    // Tab goes down the rows in their order, whatever order they were opened in, then on to the
    // add bar.
    std::sort(openRows.begin(), openRows.end(),
              [](const QPersistentModelIndex& a, const QPersistentModelIndex& b) {
                  return a.row() < b.row();
              });
    QWidget* previous = nullptr;
    for (const QPersistentModelIndex& index : std::as_const(openRows)) {
        if (QWidget* row = list->indexWidget(index)) {
            for (QWidget* control : delegate->controls(row)) {
                if (previous)
                    QWidget::setTabOrder(previous, control);
                previous = control;
            }
        }
    }
    if (previous)
        QWidget::setTabOrder(previous, newQuoteEdit);
}
