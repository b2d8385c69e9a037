// The bank's 32 slots as a grid of small pictures, one list view in icon
// mode whose delegate paints each slot: cheap to make, and it rewraps as the
// window is resized. Arrows move between slots, Enter or a double click
// opens one (activated). It is a drop target of its own, beside the big
// view: files dropped on it go to the bank, never to the big view.
#pragma once

#include <QListView>

class BankModel;

class BankPanel : public QListView
{
    Q_OBJECT

public:
    explicit BankPanel(QWidget* parent = nullptr);

    void setBank(BankModel* model);
    // The selected slot; the first when none is.
    int selectedSlot() const;
    void selectSlot(int slot);

signals:
    // A file list (text/uri-list) dropped over `slot`, or the selected slot
    // when dropped between them.
    void filesDropped(int slot, const QByteArray& uriList);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};
