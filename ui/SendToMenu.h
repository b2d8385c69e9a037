// Wave > Send To and Bank > Send Bank To: every MIDI destination there is as
// the menu opens (see PortMenu.h). The port popup beside them keeps the list
// the window started with; these menus are how a synth plugged in later is
// reached without a restart.
#pragma once

#include "PortMenu.h"

class SendToMenu : public PortMenu
{
    Q_OBJECT

public:
    explicit SendToMenu(QWidget* parent = nullptr);
    // `title` is the menu's, `goes` what each destination's tooltip says
    // goes there.
    SendToMenu(const QString& title, const QString& goes, QWidget* parent);
};
