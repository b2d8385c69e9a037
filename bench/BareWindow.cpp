// The yardstick for the window's start-up: a bare Qt window of the same size
// and nothing in it. With --label it shows one line of text, which is what
// any text costs at start-up (fontconfig, FreeType, HarfBuzz and a font).
// With --controls it holds the same kinds of controls as the window, laid
// out alike: a menu bar with menus, a label, two popups, two buttons and a
// status line, and nothing behind them. With --bank it also holds what the
// window's bank panel is made of: a list view in icon mode over 32 rows,
// painted by the default delegate.

#include <QApplication>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QWidget>

#include <cstring>

namespace {

bool Asked(int argc, char* argv[], const char* option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], option) == 0)
            return true;
    return false;
}

QListView* MakeBankPanel(QWidget& window)
{
    auto* model = new QStandardItemModel(&window);
    for (int number = 97; number <= 128; ++number)
        model->appendRow(new QStandardItem(QString::number(number) + QStringLiteral(" empty")));
    auto* view = new QListView(&window);
    view->setViewMode(QListView::IconMode);
    view->setResizeMode(QListView::Adjust);
    view->setGridSize(QSize(84, 74));
    view->setModel(model);
    return view;
}

void AddControls(QWidget& window, bool withBank)
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
    if (withBank)
        layout->addWidget(MakeBankPanel(window), 1);
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
    if (Asked(argc, argv, "--label"))
        new QLabel(QStringLiteral("Drop a WAV file here"), &window);
    const bool withBank = Asked(argc, argv, "--bank");
    if (withBank)
        window.resize(560, 640);  // as the window with its panel
    if (Asked(argc, argv, "--controls")) {
        AddControls(window, withBank);
    } else if (withBank) {
        MakeBankPanel(window)->setGeometry(0, 200, 560, 200);
    }
    window.show();
    return app.exec();
}
