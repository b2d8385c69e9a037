#include "BankPanel.h"

#include "BankModel.h"
#include "SlotPicture.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

namespace {

constexpr char kFileListType[] = "text/uri-list";

// Copy-only, as the window: a drag that offers only a move would have a
// file manager delete the user's file.
bool TakesPartIn(const QDropEvent* event)
{
    return (event->possibleActions() & Qt::CopyAction) != 0 && event->mimeData()->hasFormat(kFileListType);
}

}  // namespace

BankPanel::BankPanel(QWidget* parent) : QListView(parent)
{
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setGridSize(SlotPicture::kCellSize);
    setItemDelegate(new SlotPicture(this));
    setAccessibleName(QStringLiteral("Bank"));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

void BankPanel::setBank(BankModel* model)
{
    setModel(model);
    selectSlot(0);
}

int BankPanel::selectedSlot() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : 0;
}

void BankPanel::selectSlot(int slot)
{
    if (model() != nullptr)
        setCurrentIndex(model()->index(slot, 0));
}

void BankPanel::dragEnterEvent(QDragEnterEvent* event)
{
    if (!TakesPartIn(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void BankPanel::dragMoveEvent(QDragMoveEvent* event)
{
    if (!TakesPartIn(event)) {
        event->ignore();
        return;
    }
    // The slot the files would start at shows selected.
    const QModelIndex over = indexAt(event->position().toPoint());
    if (over.isValid())
        setCurrentIndex(over);
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void BankPanel::dragLeaveEvent(QDragLeaveEvent* event)
{
    event->accept();
}

void BankPanel::dropEvent(QDropEvent* event)
{
    if (!TakesPartIn(event)) {
        event->ignore();
        return;
    }
    const QModelIndex over = indexAt(event->position().toPoint());
    const int slot = over.isValid() ? over.row() : selectedSlot();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    // The raw bytes: a name that is not valid UTF-8 reaches the loader unchanged.
    emit filesDropped(slot, event->mimeData()->data(kFileListType));
}
