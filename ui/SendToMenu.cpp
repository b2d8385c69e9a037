#include "SendToMenu.h"

#include "DestinationDirectory.h"
#include "PortWatch.h"

#include <QPointer>

SendToMenu::SendToMenu(QWidget* parent)
    : SendToMenu(QStringLiteral("Send &To"),
                 QStringLiteral("the loaded wave goes there as the wave number chosen in the Wave popup"), parent)
{
}

SendToMenu::SendToMenu(const QString& title, const QString& goes, QWidget* parent) : QMenu(title, parent), m_goes(goes)
{
    setToolTipsVisible(true);
    connect(this, &QMenu::aboutToShow, this, [this] {
        watch(true);
        list();
    });
    connect(this, &QMenu::aboutToHide, this, [this] { watch(false); });
    // An empty menu would not open at all.
    addAction(QStringLiteral("Listing…"))->setEnabled(false);
}

SendToMenu::~SendToMenu() = default;

// Only while the menu is open: the window's start-up never pays for it,
// and the idle window is told of nothing.
void SendToMenu::watch(bool open)
{
    PortWatch& ports = PortWatch::instance();
    if (open) {
        ports.hold();
        connect(&ports, &PortWatch::changed, this, &SendToMenu::list, Qt::UniqueConnection);
    } else {
        disconnect(&ports, &PortWatch::changed, this, &SendToMenu::list);
        ports.release();
    }
}

// Asked afresh and answered from the event loop, so a system that is slow
// to answer never holds the window up: until then the menu shows what it
// showed before.
void SendToMenu::list()
{
    MIDIListThen(false, [menu = QPointer<SendToMenu>(this)] {
        if (menu)
            menu->fill(ListMIDIPorts());
    });
}

void SendToMenu::fill(const std::vector<ListedPort>& ports)
{
    clear();
    for (const ListedPort& port : ports) {
        QString text = QString::fromStdString(port.title);
        // An ampersand in a name is shown, not taken as a shortcut.
        QAction* action = addAction(text.replace('&', QStringLiteral("&&")));
        action->setToolTip(QString::fromStdString(port.address) + QStringLiteral(": ") + m_goes);
        connect(action, &QAction::triggered, this, [this, title = port.title] { emit chosen(title); });
    }
    if (actions().isEmpty())
        addAction(QStringLiteral("No MIDI destinations"))->setEnabled(false);
}
