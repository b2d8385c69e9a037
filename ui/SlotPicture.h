// Paints one bank slot: its wave as the big view draws it (blue field, black
// bars from the zero line, the small red mark of a fitted wave), small, in
// a frame coloured by what the synth is known to hold, and under it the
// wave number and where the wave came from.
#pragma once

#include <QStyledItemDelegate>

class SlotPicture : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static constexpr QSize kCellSize{84, 74};

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
