#include "SendToMenu.h"

SendToMenu::SendToMenu(QWidget* parent)
    : SendToMenu(QStringLiteral("Send &To"),
                 QStringLiteral("the loaded wave goes there as the wave number chosen in the Wave popup"), parent)
{
}

SendToMenu::SendToMenu(const QString& title, const QString& goes, QWidget* parent)
    : PortMenu({title, false, QStringLiteral("%1: ") + goes, QStringLiteral("No MIDI destinations"), QString()}, parent)
{
}
