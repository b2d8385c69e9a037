// A drag source for the real-window test: a small window that starts a drag
// of one file the moment the mouse is pressed in it, and prints how each
// drag ended. With "move" it offers only to move the file and, like a file
// manager, deletes it when the target reports a move.
//
//   qwd_drag_source FILE X Y [move]

#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class DragSource : public QWidget
{
public:
    DragSource(const QString& path, bool move) : m_path(path), m_move(move)
    {
        setWindowTitle(QStringLiteral("QWD drag source"));
    }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(m_path)});
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(m_move ? Qt::MoveAction : Qt::CopyAction);
        if (action == Qt::MoveAction)
            QFile::remove(m_path);
        std::printf("drag ended: %s\n", action == Qt::CopyAction ? "copy" : action == Qt::MoveAction ? "move" : "ignored");
        std::fflush(stdout);
    }

private:
    QString m_path;
    bool m_move;
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 4 || argc > 5) {
        std::fprintf(stderr, "usage: qwd_drag_source FILE X Y [move]\n");
        return 2;
    }
    DragSource source(QString::fromLocal8Bit(argv[1]), argc == 5 && std::strcmp(argv[4], "move") == 0);
    source.setGeometry(std::atoi(argv[2]), std::atoi(argv[3]), 160, 120);
    source.show();
    return app.exec();
}
