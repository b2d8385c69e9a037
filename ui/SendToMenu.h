// Wave > Send To: every MIDI destination there is as the menu opens (see
// PortMenu.h). The port popup beside it keeps the list the window started
// with; this menu is how a synth plugged in later is reached without a
// restart.
#pragma once

#include "PortMenu.h"

class SendToMenu : public PortMenu
{
    Q_OBJECT

public:
    explicit SendToMenu(QWidget* parent = nullptr);
};
