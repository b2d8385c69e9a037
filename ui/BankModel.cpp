#include "BankModel.h"

#include <algorithm>

BankModel::BankModel(QObject* parent) : QAbstractListModel(parent) {}

int BankModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kSlots;
}

QVariant BankModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= kSlots)
        return {};
    const BankSlot& slot = slotAt(index.row());
    const int wave = WaveOfSlot(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return QString::number(wave) + QLatin1Char(' ') + QString::fromStdString(slot.OriginText());
    case Qt::AccessibleTextRole:
        return QStringLiteral("Wave %1").arg(wave);
    case Qt::AccessibleDescriptionRole: {
        const QString state = stateText(slot.state);
        return QString::fromStdString(slot.OriginText()) + (state.isEmpty() ? QString() : ", " + state);
    }
    case Qt::ToolTipRole: {
        // The whole origin, which the slot's line may cut, and its state.
        const QString state = stateText(slot.state);
        const QString origin = slot.filled ? QString::fromStdString(slot.origin) : QString();
        return origin.isEmpty() || state.isEmpty() ? origin + state : origin + QLatin1Char('\n') + state;
    }
    case kSlotRole:
        return QVariant::fromValue(&slot);
    default:
        return {};
    }
}

Qt::ItemFlags BankModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled
                           : Qt::ItemIsDropEnabled;
}

void BankModel::setSlots(int first, const std::vector<BankSlot>& range)
{
    if (range.empty())
        return;
    const int last = std::min(kSlots, first + static_cast<int>(range.size())) - 1;
    for (int i = first; i <= last; ++i)
        m_slots[static_cast<std::size_t>(i)] = range[static_cast<std::size_t>(i - first)];
    emit dataChanged(index(first), index(last));
}

std::vector<BankSlot> BankModel::slotsFrom(int first, int count) const
{
    return std::vector<BankSlot>(m_slots.begin() + first, m_slots.begin() + std::min(kSlots, first + count));
}

void BankModel::setState(int slot, BankSlot::State state)
{
    m_slots[static_cast<std::size_t>(slot)].state = state;
    emit dataChanged(index(slot), index(slot));
}

int BankModel::filledCount() const
{
    return static_cast<int>(std::count_if(m_slots.begin(), m_slots.end(), [](const BankSlot& s) { return s.filled; }));
}

std::vector<std::pair<int, std::vector<std::uint8_t>>> BankModel::messages() const
{
    std::vector<std::pair<int, std::vector<std::uint8_t>>> all;
    for (int i = 0; i < kSlots; ++i) {
        if (slotAt(i).filled)
            all.emplace_back(WaveOfSlot(i), slotAt(i).Message(WaveOfSlot(i)));
    }
    return all;
}

QString BankModel::stateText(BankSlot::State state)
{
    switch (state) {
    case BankSlot::kNone:
        return {};
    case BankSlot::kChanged:
        return QStringLiteral("changed");
    case BankSlot::kSent:
        return QStringLiteral("sent");
    case BankSlot::kFailed:
        return QStringLiteral("failed");
    case BankSlot::kReceived:
        return QStringLiteral("received");
    case BankSlot::kSame:
        return QStringLiteral("same");
    case BankSlot::kDiffers:
        return QStringLiteral("differs on the synth");
    case BankSlot::kMissing:
        return QStringLiteral("not sent back");
    case BankSlot::kUnconfirmed:
        return QStringLiteral("not confirmed");
    case BankSlot::kDamaged:
        return QStringLiteral("damaged on arrival");
    }
    return {};
}

QString BankModel::stateMark(BankSlot::State state)
{
    switch (state) {
    case BankSlot::kNone:
        return {};
    case BankSlot::kChanged:
        return QStringLiteral("*");
    case BankSlot::kSent:
        return QStringLiteral("\u2713");  // check mark
    case BankSlot::kFailed:
        return QStringLiteral("\u2717");  // ballot x
    case BankSlot::kReceived:
        return QStringLiteral("\u2193");  // down arrow
    case BankSlot::kSame:
        return QStringLiteral("=");
    case BankSlot::kDiffers:
        return QStringLiteral("\u2260");  // not equal
    case BankSlot::kMissing:
        return QStringLiteral("?");
    case BankSlot::kUnconfirmed:
        return QStringLiteral("~");
    case BankSlot::kDamaged:
        return QStringLiteral("!");
    }
    return {};
}
