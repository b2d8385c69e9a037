// Cut, Copy, Paste and Clear on the bank's slots (the Edit menu), and the
// panel's own drags that move or copy them. Each change is one step of the
// bank's undo stack and ends with a line for the status line.
#pragma once

#include "BankSlot.h"

#include <QObject>
#include <QString>

#include <vector>

class BankModel;
class BankPanel;
class QAction;
class QMenu;
class QUndoStack;

class SlotEditing : public QObject
{
    Q_OBJECT

public:
    SlotEditing(BankModel& model, QUndoStack& undo, BankPanel& panel, QObject* parent);

    // Cut, Copy, Paste and Clear at the end of `edit`.
    void addActions(QMenu& edit);

signals:
    void said(const QString& text);

public slots:
    void cut();
    void copy();
    void paste();
    void clear();
    // `rows` into `slot` and those after it; moved, they are emptied first.
    void place(const std::vector<int>& rows, int slot, bool copying);

private:
    // Empties `rows` as one undo step called `what`.
    void empty(const std::vector<int>& rows, const QString& what);

    BankModel& m_model;
    QUndoStack& m_undo;
    BankPanel& m_panel;
    std::vector<BankSlot> m_copied;  // in wave order
    QAction* m_paste = nullptr;
};

// "wave 101", "waves 101 to 103", or "3 waves": the slots a line speaks of.
QString WavesText(const std::vector<int>& rows);
