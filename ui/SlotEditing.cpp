#include "SlotEditing.h"

#include "Alert.h"
#include "BankEdit.h"
#include "BankModel.h"
#include "BankPanel.h"
#include "WaveDumpBank.h"

#include <QAction>
#include <QMenu>
#include <QUndoStack>

#include <algorithm>

QString WavesText(const std::vector<int>& rows)
{
    if (rows.size() == 1)
        return QStringLiteral("wave %1").arg(WaveOfSlot(rows.front()));
    if (rows.back() - rows.front() + 1 == static_cast<int>(rows.size()))
        return QStringLiteral("waves %1 to %2").arg(WaveOfSlot(rows.front())).arg(WaveOfSlot(rows.back()));
    return QStringLiteral("%1 waves").arg(rows.size());
}

SlotEditing::SlotEditing(BankModel& model, QUndoStack& undo, BankPanel& panel, QObject* parent)
    : QObject(parent), m_model(model), m_undo(undo), m_panel(panel)
{
    connect(&m_panel, &BankPanel::slotsDragged, this, &SlotEditing::place);
}

void SlotEditing::addActions(QMenu& edit)
{
    edit.addSeparator();
    const struct
    {
        const char* name;
        QString text;
        QKeySequence keys;
        void (SlotEditing::*run)();
    } actions[] = {
        {"actionCut", QStringLiteral("Cu&t"), QKeySequence(QStringLiteral("Ctrl+X")), &SlotEditing::cut},
        {"actionCopy", QStringLiteral("&Copy"), QKeySequence(QStringLiteral("Ctrl+C")), &SlotEditing::copy},
        {"actionPaste", QStringLiteral("&Paste"), QKeySequence(QStringLiteral("Ctrl+V")), &SlotEditing::paste},
        {"actionClear", QStringLiteral("C&lear Slots"), QKeySequence(QStringLiteral("Delete")), &SlotEditing::clear},
    };
    for (const auto& kind : actions) {
        QAction* action = edit.addAction(kind.text, this, kind.run);
        action->setObjectName(QLatin1String(kind.name));
        action->setShortcut(kind.keys);
        if (kind.run == &SlotEditing::paste)
            m_paste = action;
    }
    m_paste->setEnabled(false);
}

void SlotEditing::copy()
{
    const std::vector<int> rows = m_panel.selectedSlots();
    if (rows.empty())
        return;
    m_copied.clear();
    for (const int slot : rows)
        m_copied.push_back(m_model.slotAt(slot));
    m_paste->setEnabled(true);
    emit said(QStringLiteral("Copied %1").arg(WavesText(rows)));
}

void SlotEditing::cut()
{
    const std::vector<int> rows = m_panel.selectedSlots();
    if (rows.empty())
        return;
    copy();
    empty(rows, QStringLiteral("Cut"));
    emit said(QStringLiteral("Cut %1").arg(WavesText(rows)));
}

void SlotEditing::clear()
{
    const std::vector<int> rows = m_panel.selectedSlots();
    if (rows.empty())
        return;
    empty(rows, QStringLiteral("Clear"));
    emit said(QStringLiteral("Cleared %1").arg(WavesText(rows)));
}

void SlotEditing::empty(const std::vector<int>& rows, const QString& what)
{
    std::vector<BankSlot> range = m_model.slotsFrom(rows.front(), rows.back() - rows.front() + 1);
    for (const int slot : rows)
        range[static_cast<std::size_t>(slot - rows.front())] = BankSlot();
    m_undo.push(new BankEdit(m_model, rows.front(), std::move(range), what));
}

// From the selected slot on; past 128 nothing is pasted.
void SlotEditing::paste()
{
    if (m_copied.empty())
        return;
    const int first = m_panel.selectedSlot();
    const int firstWave = WaveOfSlot(first);
    if (const std::string overflow = BankOverflow(firstWave, firstWave + static_cast<int>(m_copied.size()));
        !overflow.empty())
        return RunAlertPanel(("Nothing was pasted: " + overflow).c_str());
    std::vector<BankSlot> range = m_copied;
    for (BankSlot& slot : range)
        if (slot.filled)
            slot.state = BankSlot::kChanged;
    m_undo.push(new BankEdit(m_model, first, std::move(range), QStringLiteral("Paste")));
    std::vector<int> filled(m_copied.size());
    for (std::size_t i = 0; i < filled.size(); ++i)
        filled[i] = first + static_cast<int>(i);
    emit said(QStringLiteral("Pasted into %1").arg(WavesText(filled)));
}

void SlotEditing::place(const std::vector<int>& rows, int slot, bool copying)
{
    if (rows.empty())
        return;
    const bool inPlace = rows.front() == slot && rows.back() - rows.front() + 1 == static_cast<int>(rows.size());
    if (!copying && inPlace)
        return;
    const int firstWave = WaveOfSlot(slot);
    if (const std::string overflow = BankOverflow(firstWave, firstWave + static_cast<int>(rows.size()));
        !overflow.empty())
        return RunAlertPanel(((copying ? "Nothing was copied: " : "Nothing was moved: ") + overflow).c_str());
    std::vector<int> targets(rows.size());
    for (std::size_t i = 0; i < targets.size(); ++i)
        targets[i] = slot + static_cast<int>(i);
    const int from = std::min(rows.front(), slot);
    const int to = std::max(rows.back(), targets.back());
    std::vector<BankSlot> range = m_model.slotsFrom(from, to - from + 1);
    const auto at = [&range, from](int row) -> BankSlot& { return range[static_cast<std::size_t>(row - from)]; };
    if (!copying)
        for (const int row : rows)
            at(row) = BankSlot();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        at(targets[i]) = m_model.slotAt(rows[i]);
        if (at(targets[i]).filled)
            at(targets[i]).state = BankSlot::kChanged;
    }
    m_undo.push(new BankEdit(m_model, from, std::move(range),
                             copying ? QStringLiteral("Copy Slots") : QStringLiteral("Move Slots")));
    // The slots where they went, selected.
    QItemSelectionModel& selection = *m_panel.selectionModel();
    selection.setCurrentIndex(m_panel.model()->index(slot, 0), QItemSelectionModel::ClearAndSelect);
    for (const int row : targets)
        selection.select(m_panel.model()->index(row, 0), QItemSelectionModel::Select);
    emit said(QStringLiteral("%1 %2 to %3").arg(copying ? "Copied" : "Moved", WavesText(rows), WavesText(targets)));
}
