#include "BankPanel.h"

#include "BankModel.h"
#include "SlotFiles.h"
#include "SlotPicture.h"
#include "SystemLog.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>

namespace {

constexpr char kFileListType[] = "text/uri-list";
// The slots a drag from the panel carries, for the panel itself.
constexpr char kSlotsType[] = "application/x-quarven-wave-dump-rows";

// Copy-only, as the window: a drag that offers only a move would have a
// file manager delete the user's file.
bool TakesPartIn(const QDropEvent* event)
{
    return (event->possibleActions() & Qt::CopyAction) != 0 && event->mimeData()->hasFormat(kFileListType);
}

Qt::DropAction OwnAction(const QDropEvent* event)
{
    return (event->modifiers() & Qt::ControlModifier) != 0 ? Qt::CopyAction : Qt::MoveAction;
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
    setGridSize(SlotPicture::kMinCellSize);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new SlotPicture(this));
    setAccessibleName(QStringLiteral("Bank"));
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

BankPanel::~BankPanel() = default;

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

std::vector<int> BankPanel::selectedSlots() const
{
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void BankPanel::resizeEvent(QResizeEvent* event)
{
    fitGrid();
    QListView::resizeEvent(event);
}

// The columns that give the slots the roomiest cells, all 32 in sight; when
// even the best is below the smallest cell, the smallest, and a scroll bar.
void BankPanel::fitGrid()
{
    const QSize minimum = SlotPicture::kMinCellSize;
    // The view wraps a row that reaches its last pixel.
    QSize room = contentsRect().size() - QSize(1, 1);
    const auto cellFor = [&room](int columns) {
        const int rows = (BankModel::kSlots + columns - 1) / columns;
        return QSize(room.width() / columns, room.height() / rows);
    };
    const auto score = [&minimum](QSize cell) {
        return std::min(double(cell.width()) / minimum.width(), double(cell.height()) / minimum.height());
    };
    int best = 1;
    for (int columns = 2; columns <= BankModel::kSlots; ++columns)
        if (score(cellFor(columns)) > score(cellFor(best)))
            best = columns;
    QSize cell = cellFor(best);
    // The scroll bar only when they cannot all be in sight: while it shows
    // they would fit a column less.
    const bool fits = score(cell) >= 1;
    setVerticalScrollBarPolicy(fits ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    if (!fits) {
        room.rwidth() -= verticalScrollBar()->sizeHint().width();
        best = std::max(1, room.width() / minimum.width());
        cell = QSize(std::max(minimum.width(), room.width() / best), minimum.height());
    }
    if (cell != gridSize())
        setGridSize(cell);
}

// The selected slots: for the panel itself their numbers, for a file
// manager their waves as files, written as Export writes them.
void BankPanel::startDrag(Qt::DropActions)
{
    const auto* bank = qobject_cast<const BankModel*>(model());
    const std::vector<int> rows = selectedSlots();
    if (bank == nullptr || rows.empty())
        return;
    auto* mime = new QMimeData;
    QByteArray numbers;
    for (const int slot : rows)
        numbers += QByteArray::number(slot) + ' ';
    mime->setData(kSlotsType, numbers);
    auto files = std::make_unique<QTemporaryDir>();
    std::vector<std::string> paths;
    std::string error;
    if (!files->isValid())
        LogLine("The dragged rows carry no files: no temporary folder: %s",
                files->errorString().toLocal8Bit().constData());
    else if (!WriteSlotFiles(*bank, rows, QFile::encodeName(files->path()).toStdString(), false, paths, error))
        LogLine("The dragged rows carry no files: %s", error.c_str());
    QList<QUrl> urls;
    for (const std::string& path : paths)
        urls << QUrl::fromLocalFile(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!urls.isEmpty())
        mime->setUrls(urls);
    m_dragged = std::move(files);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    const QModelIndex first = model()->index(rows.front(), 0);
    drag->setPixmap(viewport()->grab(visualRect(first)));
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

bool BankPanel::ownDrag(const QDropEvent* event) const
{
    return event->source() == this && event->mimeData()->hasFormat(kSlotsType);
}

void BankPanel::dragEnterEvent(QDragEnterEvent* event)
{
    if (ownDrag(event)) {
        event->setDropAction(OwnAction(event));
        event->accept();
        return;
    }
    if (!TakesPartIn(event)) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

void BankPanel::dragMoveEvent(QDragMoveEvent* event)
{
    const bool own = ownDrag(event);
    if (!own && !TakesPartIn(event)) {
        event->ignore();
        return;
    }
    // The slot the files would start at shows selected; the slots of the
    // panel's own drag stay selected.
    const QModelIndex over = indexAt(event->position().toPoint());
    if (over.isValid() && !own)
        setCurrentIndex(over);
    event->setDropAction(own ? OwnAction(event) : Qt::CopyAction);
    event->accept();
}

void BankPanel::dragLeaveEvent(QDragLeaveEvent* event)
{
    event->accept();
}

void BankPanel::dropEvent(QDropEvent* event)
{
    if (ownDrag(event)) {
        const QModelIndex over = indexAt(event->position().toPoint());
        if (!over.isValid())
            return event->ignore();
        std::vector<int> rows;
        for (const QByteArray& number : event->mimeData()->data(kSlotsType).split(' '))
            if (!number.isEmpty())
                rows.push_back(number.toInt());
        const Qt::DropAction action = OwnAction(event);
        event->setDropAction(action);
        event->accept();
        emit slotsDragged(rows, over.row(), action == Qt::CopyAction);
        return;
    }
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
