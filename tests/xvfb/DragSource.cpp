// A window that drags FILE when pressed and prints how each drag ended. With
// "move" its first drag offers only a move and, like a file manager, then
// deletes FILE; the others offer a copy.
//
//   qwd_drag_source FILE X Y [move]

#include <QApplication>
#include <QDrag>
#include <QFile>
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

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    DragSource source(args.value(1), args.value(4) == "move");
    source.setGeometry(args.value(2).toInt(), args.value(3).toInt(), 160, 120);
    source.show();
    return app.exec();
}
