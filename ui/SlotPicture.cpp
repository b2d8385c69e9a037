#include "SlotPicture.h"

#include "BankModel.h"
#include "WaveView.h"

#include <QApplication>
#include <QPainter>

namespace {

constexpr int kMargin = 3;
constexpr int kPictureHeight = 36;

// What the synth is known to hold of the slot, at a glance.
QColor FrameColour(BankSlot::State state)
{
    switch (state) {
    case BankSlot::kChanged:
        return QColor(230, 140, 0);  // orange: not on the synth yet
    case BankSlot::kSent:
    case BankSlot::kSame:
        return QColor(0, 150, 60);  // green: the synth holds it
    case BankSlot::kFailed:
    case BankSlot::kDiffers:
    case BankSlot::kDamaged:
        return QColor(210, 0, 0);
    case BankSlot::kMissing:
    case BankSlot::kUnconfirmed:
        return QColor(128, 128, 128);
    case BankSlot::kNone:
    case BankSlot::kReceived:
        break;
    }
    return {};
}

}  // namespace

void SlotPicture::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* slot = index.data(BankModel::kSlotRole).value<const BankSlot*>();
    if (slot == nullptr)
        return;
    const QRect cell = option.rect;
    const QPalette& palette = option.palette;
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    if (selected)
        painter->fillRect(cell, palette.brush(QPalette::Highlight));

    const QRect picture(cell.x() + kMargin, cell.y() + kMargin, cell.width() - 2 * kMargin, kPictureHeight);
    const QColor frame = FrameColour(slot->state);
    if (frame.isValid())
        painter->fillRect(picture.adjusted(-2, -2, 2, 2), frame);
    PaintWave(*painter, picture, slot->filled ? slot->wave : nullptr, slot->fitted);

    painter->save();
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QFontMetrics metrics(option.font);
    const int lineHeight = metrics.height();
    QRect line(cell.x() + 1, picture.bottom() + 3, cell.width() - 2, lineHeight);
    const QString state = BankModel::stateText(slot->state);
    const QString number = QString::number(WaveOfSlot(index.row()));
    painter->drawText(line, Qt::AlignHCenter | Qt::AlignTop,
                      metrics.elidedText(state.isEmpty() ? number : number + QStringLiteral(" · ") + state,
                                         Qt::ElideRight, line.width()));
    line.translate(0, lineHeight);
    painter->drawText(line, Qt::AlignHCenter | Qt::AlignTop,
                      metrics.elidedText(QString::fromStdString(slot->OriginText()), Qt::ElideMiddle, line.width()));
    painter->restore();

    if ((option.state & QStyle::State_HasFocus) != 0) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = cell.adjusted(1, 1, -1, -1);
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
}

QSize SlotPicture::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return kCellSize - QSize(2, 2);
}
