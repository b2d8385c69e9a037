#include "SlotPicture.h"

#include "BankModel.h"
#include "WaveView.h"

#include <QApplication>
#include <QListView>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int kMargin = 3;

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

    const QFontMetrics metrics(option.font);
    const int lineHeight = metrics.height();
    const QRect picture(cell.x() + kMargin, cell.y() + kMargin, cell.width() - 2 * kMargin,
                        std::max(1, cell.height() - 2 * kMargin - lineHeight - 2));
    const QColor frame = FrameColour(slot->state);
    if (frame.isValid())
        painter->fillRect(picture.adjusted(-2, -2, 2, 2), frame);
    PaintWave(*painter, picture, slot->filled ? slot->wave : nullptr, slot->fitted);

    painter->save();
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    // The number and the mark always; the origin in what is left.
    const QRect line(cell.x() + 2, picture.bottom() + 3, cell.width() - 4, lineHeight);
    const QString mark = BankModel::stateMark(slot->state);
    const QString head = QString::number(WaveOfSlot(index.row())) + (mark.isEmpty() ? QString() : ' ' + mark) + ' ';
    const int room = line.width() - metrics.horizontalAdvance(head);
    // An empty slot's blank picture says it already: "empty" only whole,
    // and then in every slot, not in 97 to 99 alone.
    const QString text = QString::fromStdString(slot->OriginText());
    const int emptyRoom = line.width() - metrics.horizontalAdvance(QStringLiteral("128 "));
    const QString origin = slot->filled ? metrics.elidedText(text, Qt::ElideMiddle, room)
                           : metrics.horizontalAdvance(text) <= emptyRoom ? text
                                                                          : QString();
    painter->drawText(line, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, head + origin);
    painter->restore();

    if ((option.state & QStyle::State_HasFocus) != 0) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = cell.adjusted(1, 1, -1, -1);
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
}

QSize SlotPicture::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    const auto* view = qobject_cast<const QListView*>(option.widget);
    const QSize grid = view != nullptr && view->gridSize().isValid() ? view->gridSize() : kMinCellSize;
    return grid - QSize(2, 2);
}
