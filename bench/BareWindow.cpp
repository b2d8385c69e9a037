// The yardstick for the window's start-up: a bare Qt window of the same size
// and nothing in it. With --label it shows one line of text, which is what
// any text costs at start-up (fontconfig, FreeType, HarfBuzz and a font).
// With --bank it also holds what the window's bank panel is made of: a list
// view in icon mode over 32 rows, painted by the default delegate.

#include <QApplication>
#include <QLabel>
#include <QListView>
#include <QStandardItemModel>
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

void AddBankPanel(QWidget& window)
{
    auto* model = new QStandardItemModel(&window);
    for (int number = 97; number <= 128; ++number)
        model->appendRow(new QStandardItem(QString::number(number) + QStringLiteral(" empty")));
    auto* view = new QListView(&window);
    view->setViewMode(QListView::IconMode);
    view->setResizeMode(QListView::Adjust);
    view->setGridSize(QSize(84, 74));
    view->setModel(model);
    view->setGeometry(0, 200, 560, 200);
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
    if (Asked(argc, argv, "--bank")) {
        window.resize(560, 560);  // as the window with its panel
        AddBankPanel(window);
    }
    window.show();
    return app.exec();
}
