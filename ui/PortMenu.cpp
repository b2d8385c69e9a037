#include "PortMenu.h"

#include "PortWatch.h"

#include <QPointer>

PortMenu::PortMenu(Kind kind, QWidget* parent) : QMenu(kind.title, parent), m_kind(std::move(kind))
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

PortMenu::~PortMenu() = default;

// Only while the menu is open: the window's start-up never pays for it,
// and the idle window is told of nothing.
void PortMenu::watch(bool open)
{
    PortWatch& ports = PortWatch::instance();
    if (open) {
        ports.hold();
        connect(&ports, &PortWatch::changed, this, &PortMenu::list, Qt::UniqueConnection);
    } else {
        disconnect(&ports, &PortWatch::changed, this, &PortMenu::list);
        ports.release();
    }
}

// Asked afresh and answered from the event loop, so a system that is slow
// to answer never holds the window up: until then the menu shows what it
// showed before.
void PortMenu::list()
{
    MIDIListThen(m_kind.sources, [menu = QPointer<PortMenu>(this)] {
        if (menu)
            menu->fill(ListMIDIPorts(menu->m_kind.sources));
    });
}

void PortMenu::fill(const std::vector<ListedPort>& ports)
{
    clear();
    const bool choice = !m_kind.none.isEmpty();
    if (choice) {
        QAction* none = addAction(m_kind.none);
        none->setCheckable(true);
        none->setChecked(m_current.empty());
        connect(none, &QAction::triggered, this, [this] { emit chosen(""); });
        addSeparator();
    }
    for (const ListedPort& port : ports) {
        QString text = QString::fromStdString(port.title);
        // An ampersand in a name is shown, not taken as a shortcut.
        QAction* action = addAction(text.replace('&', QStringLiteral("&&")));
        action->setToolTip(m_kind.toolTip.arg(QString::fromStdString(port.address)));
        action->setCheckable(choice);
        action->setChecked(choice && port.title == m_current);
        connect(action, &QAction::triggered, this, [this, title = port.title] { emit chosen(title); });
    }
    if (ports.empty())
        addAction(m_kind.empty)->setEnabled(false);
}
