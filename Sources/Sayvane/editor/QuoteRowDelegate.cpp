#include "QuoteRowDelegate.h"

#include "Localization.h"
#include "QuoteListModel.h"

#include <QAbstractProxyModel>
#include <QApplication>
#include <QDrag>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>

#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

// The grip at a row's leading edge: pressed and moved, it starts a drag of the row. The field
// and the button cover the rest of the row, so the list itself never sees the press.
class DragHandle : public QLabel {
public:
    using QLabel::QLabel;

    std::function<void()> startDrag;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            pressedAt = event->position().toPoint();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!pressedAt || !(event->buttons() & Qt::LeftButton) ||
            (event->position().toPoint() - *pressedAt).manhattanLength() <
                QApplication::startDragDistance())
            return;
        pressedAt.reset();
        if (startDrag)
            startDrag();
    }
    void mouseReleaseEvent(QMouseEvent*) override { pressedAt.reset(); }

private:
    std::optional<QPoint> pressedAt;
};

// One row of the list: the grip, the quote's field, then the trash button at the trailing edge.
class QuoteRow : public QWidget {
public:
    explicit QuoteRow(QWidget* parent)
        : QWidget(parent)
        , handle(new DragHandle(this))
        , field(new QLineEdit(this))
        , removeButton(new QToolButton(this)) {
        handle->setObjectName(u"dragHandle"_s);
        handle->setPixmap(QIcon(u":/icons/grip.svg"_s).pixmap(16, 16));
        handle->setCursor(Qt::OpenHandCursor);
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
        layout->setSpacing(4);
        layout->addWidget(handle);
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

    DragHandle* const handle;
    QLineEdit* const field;
    QToolButton* const removeButton;
    bool updating = false;
};

constexpr int rowPadding = 4;

} // namespace

QuoteRowDelegate::QuoteRowDelegate(QuoteListModel& model, LocalizationManager& loc, QObject* parent)
    : QStyledItemDelegate(parent)
    , model(model)
    , loc(loc) {}

QWidget* QuoteRowDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                        const QModelIndex& index) const {
    auto* row = new QuoteRow(parent);
    updateTexts(row);
    // The view may show the rows through a filter: the row acts on its place in the list.
    QModelIndex source = index;
    if (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model()))
        source = proxy->mapToSource(index);
    const QPersistentModelIndex position(source);
    nameRow(row, source.row());
    row->showQuote(index.data(Qt::EditRole).toString());
    connect(row->field, &QLineEdit::textChanged, row, [this, row, position](const QString& text) {
        // Every change writes the field's whole text into its element; nothing is saved.
        if (!row->updating && position.isValid())
            model.setData(position, text, Qt::EditRole);
    });
    connect(row->field, &QLineEdit::returnPressed, row, [this, position] {
        if (position.isValid() && onSubmit)
            onSubmit(position.row());
    });
    connect(row->removeButton, &QToolButton::clicked, row, [this, position] {
        if (position.isValid() && onRemove)
            onRemove(position.row());
    });
    row->handle->startDrag = [row, position] {
        if (!position.isValid())
            return;
        // Owned by the viewport, which outlives a row widget closed while the drag runs.
        auto* drag = new QDrag(row->parentWidget());
        drag->setMimeData(QuoteListModel::mimeDataOfRow(position.row()));
        drag->setPixmap(row->grab());
        drag->setHotSpot(row->handle->geometry().center());
        drag->exec(Qt::MoveAction);
    };
    return row;
}

void QuoteRowDelegate::nameRow(QWidget* editor, int row) const {
    auto* quoteRow = static_cast<QuoteRow*>(editor);
    const QString number = QString::number(row + 1);
    quoteRow->field->setAccessibleName(loc.localizedString(u"QuoteNumber"_s).arg(number));
    quoteRow->field->setAccessibleDescription(loc.localizedString(u"QuoteFieldDescription"_s));
    quoteRow->removeButton->setAccessibleName(
        loc.localizedString(u"DeleteQuoteNumber"_s).arg(number));
}

QList<QWidget*> QuoteRowDelegate::controls(QWidget* editor) const {
    auto* quoteRow = static_cast<QuoteRow*>(editor);
    return {quoteRow->field, quoteRow->removeButton};
}

void QuoteRowDelegate::updateTexts(QWidget* editor) const {
    auto* row = static_cast<QuoteRow*>(editor);
    row->field->setPlaceholderText(loc.localizedString(u"Quote"_s));
    row->handle->setToolTip(loc.localizedString(u"DragToMove"_s));
    row->handle->setAccessibleName(loc.localizedString(u"DragToMove"_s));
}

void QuoteRowDelegate::forgetTyping(QWidget* editor) {
    auto* row = static_cast<QuoteRow*>(editor);
    if (!row->field->isUndoAvailable() && !row->field->isRedoAvailable())
        return;
    const int cursor = row->field->cursorPosition();
    row->updating = true;
    // Setting the text clears the field's undo history.
    row->field->setText(row->field->text());
    row->field->setCursorPosition(cursor);
    row->updating = false;
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
