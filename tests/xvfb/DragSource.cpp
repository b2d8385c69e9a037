// A drag source for the real-window test: a small window that starts a drag
// of one file the moment the mouse is pressed in it, and prints how each
// drag ended.
//
//   qwd_drag_source FILE X Y

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {

class DragSource : public QWidget
{
public:
    explicit DragSource(const QString& path) : m_path(path) { setWindowTitle(QStringLiteral("QWD drag source")); }

protected:
    void mousePressEvent(QMouseEvent*) override
    {
        auto* mime = new QMimeData;
        mime->setUrls({QUrl::fromLocalFile(m_path)});
        auto* drag = new QDrag(this);
        drag->setMimeData(mime);
        const Qt::DropAction action = drag->exec(Qt::CopyAction);
        std::printf("drag ended: %s\n", action == Qt::CopyAction ? "copy" : "ignored");
        std::fflush(stdout);
    }

private:
    QString m_path;
};

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: qwd_drag_source FILE X Y\n");
        return 2;
    }
    DragSource source(QString::fromLocal8Bit(argv[1]));
    source.setGeometry(std::atoi(argv[2]), std::atoi(argv[3]), 160, 120);
    source.show();
    return app.exec();
}
