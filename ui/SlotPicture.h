// Paints one bank slot: its wave as the big view draws it (blue field, black
// bars from the zero line, the small red mark of a fitted wave), small, in
// a frame coloured by what the synth is known to hold, and under it one
// line: the wave number, the state's mark and as much of where the wave
// came from as fits. It fills the cell the panel's grid gives it.
#pragma once

#include <QStyledItemDelegate>

class SlotPicture : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // The smallest cell that still shows a picture and its line.
    static constexpr QSize kMinCellSize{60, 46};

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
