#include "QuoteRowDelegate.h"

#include "Localization.h"
#include "QuoteListModel.h"
#include "QuoteManager.h"

#include <QAbstractProxyModel>
#include <QHBoxLayout>
#include <QIcon>
#include <QLineEdit>
#include <QToolButton>

#include <limits>

using namespace Qt::StringLiterals;

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
    connect(row->field, &QLineEdit::returnPressed, row, [this] { manager.saveQuotes(); });
    connect(row->removeButton, &QToolButton::clicked, row, [this, position] {
        if (position.isValid() && model.removeQuote(position.row()))
            manager.saveQuotes();
    });
    return row;
}

void QuoteRowDelegate::nameRow(QWidget* editor, int row) const {
    auto* quoteRow = static_cast<QuoteRow*>(editor);
    const QString number = QString::number(row + 1);
    quoteRow->field->setPlaceholderText(loc.localizedString(u"Quote"_s));
    quoteRow->field->setAccessibleName(loc.localizedString(u"QuoteNumber"_s).arg(number));
    quoteRow->field->setAccessibleDescription(loc.localizedString(u"QuoteFieldDescription"_s));
    quoteRow->removeButton->setAccessibleName(
        loc.localizedString(u"DeleteQuoteNumber"_s).arg(number));
}

QList<QWidget*> QuoteRowDelegate::controls(QWidget* editor) const {
    auto* quoteRow = static_cast<QuoteRow*>(editor);
    return {quoteRow->field, quoteRow->removeButton};
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
