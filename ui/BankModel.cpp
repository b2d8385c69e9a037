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
    case Qt::ToolTipRole:
        return slot.filled ? QString::fromStdString(slot.origin) : QString();
    case kSlotRole:
        return QVariant::fromValue(&slot);
    default:
        return {};
    }
}

Qt::ItemFlags BankModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled : Qt::ItemIsDropEnabled;
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
