// A window that drags FILE when pressed and prints how each drag ended. With
// "move" its first drag offers only a move and, like a file manager, then
// deletes FILE; the others offer a copy. With "target", it is a file
// manager's folder instead: files dropped on it (text/uri-list) are copied
// into FILE, a folder, and it prints how many.
//
//   qwd_drag_source FILE X Y [move|target]

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <cstdio>

class DragSource : public QWidget
{
public:
    DragSource(const QString& path, bool move) : m_path(path), m_move(move) { setWindowTitle("QWD drag source"); }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(m_path)});
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(m_move ? Qt::MoveAction : Qt::CopyAction);
        m_move = false;
        if (action == Qt::MoveAction)
            QFile::remove(m_path);
        std::printf("drag ended: %s\n", action == Qt::CopyAction   ? "copy"
                                        : action == Qt::MoveAction ? "move"
                                                                   : "ignored");
        std::fflush(stdout);
    }

private:
    QString m_path;
    bool m_move;
};

class DropTarget : public QWidget
{
public:
    explicit DropTarget(const QString& folder) : m_folder(folder)
    {
        setWindowTitle("QWD drop target");
        setAcceptDrops(true);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasUrls() && (event->possibleActions() & Qt::CopyAction) != 0) {
            event->setDropAction(Qt::CopyAction);
            event->accept();
        }
    }
    void dropEvent(QDropEvent* event) override
    {
        int copied = 0;
        for (const QUrl& url : event->mimeData()->urls())
            copied += QFile::copy(url.toLocalFile(), m_folder + "/" + QFileInfo(url.toLocalFile()).fileName());
        event->setDropAction(Qt::CopyAction);
        event->accept();
        std::printf("dropped: %d of %d files copied\n", copied, static_cast<int>(event->mimeData()->urls().size()));
        std::fflush(stdout);
    }

private:
    QString m_folder;
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(4) == "target") {
        DropTarget target(args.value(1));
        target.setGeometry(args.value(2).toInt(), args.value(3).toInt(), 200, 160);
        target.show();
        return app.exec();
    }
    DragSource source(args.value(1), args.value(4) == "move");
    source.setGeometry(args.value(2).toInt(), args.value(3).toInt(), 160, 120);
    source.show();
    return app.exec();
}
