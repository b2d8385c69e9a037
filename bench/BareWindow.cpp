// The yardstick for the window's start-up: a bare Qt window of the same size
// and nothing in it. With --label it shows one line of text, which is what
// any text costs at start-up (fontconfig, FreeType, HarfBuzz and a font).

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("QWD bare window"));
    window.resize(560, 400);
    // Made only when asked for: an empty label would load the fonts too.
    if (argc > 1 && std::strcmp(argv[1], "--label") == 0)
        new QLabel(QStringLiteral("Drop a WAV file here"), &window);
    window.show();
    return app.exec();
}
