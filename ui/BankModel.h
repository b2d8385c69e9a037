// The bank the window works on: 32 slots, waves 97 to 128, one row each, as
// the panel shows them. Changes come from the undo stack's commands
// (BankEdit.h) or, for the marks a send or verify leaves, from setState.
#pragma once

#include "BankSlot.h"

#include <QAbstractListModel>

#include <array>
#include <vector>

class BankModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int kSlots = 32;
    // The slot itself, for the panel's pictures.
    static constexpr int kSlotRole = Qt::UserRole;

    explicit BankModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const BankSlot& slotAt(int slot) const { return m_slots[static_cast<std::size_t>(slot)]; }
    // Replaces the slots from `first` on with `range`.
    void setSlots(int first, const std::vector<BankSlot>& range);
    std::vector<BankSlot> slotsFrom(int first, int count) const;
    void setState(int slot, BankSlot::State state);
    int filledCount() const;
    // Every filled slot's message, in wave order, with its wave number.
    std::vector<std::pair<int, std::vector<std::uint8_t>>> messages() const;

    // What the panel says of a state, "" for none.
    static QString stateText(BankSlot::State state);
    // The state in one sign, for the slot's line: "" for none.
    static QString stateMark(BankSlot::State state);

private:
    std::array<BankSlot, kSlots> m_slots;
};

Q_DECLARE_METATYPE(const BankSlot*)
