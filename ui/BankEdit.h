// One change to the bank, for its undo stack: slots from `first` on, as they
// were and as they become. Every change the user makes is one of these.
#pragma once

#include "BankModel.h"

#include <QUndoCommand>

#include <vector>

class BankEdit : public QUndoCommand
{
public:
    BankEdit(BankModel& model, int first, std::vector<BankSlot> after, const QString& text);
    // A change already made as it went (a receive): `before` is how the
    // slots were when it began.
    BankEdit(BankModel& model, int first, std::vector<BankSlot> before, std::vector<BankSlot> after,
             const QString& text);

    void redo() override { m_model.setSlots(m_first, m_after); }
    void undo() override { m_model.setSlots(m_first, m_before); }

private:
    BankModel& m_model;
    const int m_first;
    const std::vector<BankSlot> m_before;
    const std::vector<BankSlot> m_after;
};
