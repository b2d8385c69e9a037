// The yardstick for the window's start-up: a bare Qt window of the same size
// and nothing in it.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("QWD bare window"));
    window.resize(560, 400);
    window.show();
    return app.exec();
}
