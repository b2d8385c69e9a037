#include "SendToMenu.h"

SendToMenu::SendToMenu(QWidget* parent)
    : PortMenu({QStringLiteral("Send &To"), false,
                QStringLiteral("%1: the loaded wave goes there as the wave number chosen in the Wave popup"),
                QStringLiteral("No MIDI destinations"), QString()},
               parent)
{
}
