// The yardstick for the window's start-up: a bare Qt window of the same size
// and nothing in it. With --label it shows one line of text, which is what
// any text costs at start-up (fontconfig, FreeType, HarfBuzz and a font).
// With --controls it holds the same kinds of controls as the window, laid
// out alike: a menu bar with menus, a label, two popups, two buttons and a
// status line, and nothing behind them.

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>

#include <cstring>

namespace {

void AddControls(QWidget& window)
{
    auto* layout = new QVBoxLayout(&window);
    auto* menuBar = new QMenuBar(&window);
    for (const char* title : {"&File", "W&ave", "&Help"}) {
        QMenu* menu = menuBar->addMenu(QString::fromUtf8(title));
        menu->addAction(QStringLiteral("&Open…"));
        menu->addMenu(QStringLiteral("Send &To"));
    }
    layout->setMenuBar(menuBar);
    layout->addWidget(new QLabel(QStringLiteral("Drop a WAV file here")));
    layout->addWidget(new QWidget, 1);
    auto* controls = new QHBoxLayout;
    auto* port = new QComboBox;
    port->addItem(QStringLiteral("Synth One MIDI 1 (Synth One)"));
    auto* wave = new QComboBox;
    for (int number = 97; number <= 128; ++number)
        wave->addItem(QString::number(number));
    controls->addWidget(new QLabel(QStringLiteral("MIDI &port:")));
    controls->addWidget(port, 1);
    controls->addWidget(new QLabel(QStringLiteral("&Wave:")));
    controls->addWidget(wave);
    controls->addWidget(new QPushButton(QStringLiteral("&Reload")));
    controls->addWidget(new QPushButton(QStringLiteral("&Send")));
    layout->addLayout(controls);
    auto* status = new QStatusBar;
    status->addPermanentWidget(new QLabel);
    layout->addWidget(status);
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("QWD bare window"));
    window.resize(560, 400);
    // Made only when asked for: an empty label would load the fonts too.
    if (argc > 1 && std::strcmp(argv[1], "--label") == 0)
        new QLabel(QStringLiteral("Drop a WAV file here"), &window);
    if (argc > 1 && std::strcmp(argv[1], "--controls") == 0)
        AddControls(window);
    window.show();
    return app.exec();
}
