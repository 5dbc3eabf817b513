#pragma once

#include <QStyledItemDelegate>

class LocalizationManager;
class QuoteListModel;
class QuoteManager;

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

    // The row's texts in the current language: the field's placeholder, and for assistive
    // technologies the field's and the trash button's names, which count rows from 1.
    void nameRow(QWidget* editor, int row) const;
    // The row's controls in the order Tab visits them: the field, then the trash button.
    QList<QWidget*> controls(QWidget* editor) const;

protected:
    // The rows handle their own keys and focus: Return saves, and the field keeps the focus.
    bool eventFilter(QObject* object, QEvent* event) override;

private:
    QuoteManager& manager;
    QuoteListModel& model;
    LocalizationManager& loc;
    mutable int rowHeight = 0;
};
