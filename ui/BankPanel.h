// The bank's 32 slots as a grid of small pictures, one list view in icon
// mode whose delegate paints each slot: cheap to make, and its cells grow
// with the panel so that all 32 stay in sight whenever they fit. Arrows
// move between slots, Enter or a double click opens one (activated). It is
// a drop target of its own, beside the big view: files dropped on it go to
// the bank, never to the big view. Slots dragged within it move (copy, with
// Ctrl held); dragged out, they are WAV files, one wave-NNN.wav each.
#pragma once

#include <QListView>

#include <memory>
#include <vector>

class BankModel;
class QTemporaryDir;

class BankPanel : public QListView
{
    Q_OBJECT

public:
    explicit BankPanel(QWidget* parent = nullptr);
    ~BankPanel() override;

    void setBank(BankModel* model);
    // The selected slot; the first when none is.
    int selectedSlot() const;
    void selectSlot(int slot);
    // The selected slots, in wave order.
    std::vector<int> selectedSlots() const;

signals:
    // A file list (text/uri-list) dropped over `slot`, or the selected slot
    // when dropped between them.
    void filesDropped(int slot, const QByteArray& uriList);
    // Slots of this panel dragged onto `slot`: they go there and to the
    // slots after it, moved or copied.
    void slotsDragged(const std::vector<int>& rows, int slot, bool copy);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void fitGrid();
    bool ownDrag(const QDropEvent* event) const;

    // The files of the last drag out, kept until the next one: a file
    // manager may copy them after the drop.
    std::unique_ptr<QTemporaryDir> m_dragged;
};
