#pragma once

#include <QStyledItemDelegate>

#include <functional>

class LocalizationManager;
class QuoteListModel;

// Draws nothing itself: every visible row is an editor widget (a grip that drags the row to
// another place, the quote's field and a trash button). Typing writes into the list at once;
// what Return and the trash button do is the view's (onSubmit, onRemove), given the row in the
// list.
class QuoteRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    QuoteRowDelegate(QuoteListModel& model, LocalizationManager& loc, QObject* parent = nullptr);

    std::function<void(int row)> onSubmit;
    std::function<void(int row)> onRemove;

    // The row widget's texts in the current language.
    void updateTexts(QWidget* editor) const;
    // The row's field forgets its typing history (a step saved or undid it), keeping its text
    // and cursor.
    static void forgetTyping(QWidget* editor);

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

    // The names assistive technologies read for the row's field and trash button, in the current
    // language; they count the rows of the list from 1.
    void nameRow(QWidget* editor, int row) const;
    // The row's controls in the order Tab visits them: the field, then the trash button.
    QList<QWidget*> controls(QWidget* editor) const;

protected:
    // The rows handle their own keys and focus: Return saves, and the field keeps the focus.
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    QuoteListModel& model;
    LocalizationManager& loc;
    mutable int rowHeight = 0;
};
