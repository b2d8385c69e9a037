#include "BankEdit.h"

BankEdit::BankEdit(BankModel& model, int first, std::vector<BankSlot> after, const QString& text)
    : QUndoCommand(text), m_model(model), m_first(first),
      m_before(model.slotsFrom(first, static_cast<int>(after.size()))), m_after(std::move(after))
{
}

BankEdit::BankEdit(BankModel& model, int first, std::vector<BankSlot> before, std::vector<BankSlot> after,
                   const QString& text)
    : QUndoCommand(text), m_model(model), m_first(first), m_before(std::move(before)), m_after(std::move(after))
{
}
