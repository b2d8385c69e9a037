// Wave > Play from MIDI Keyboard ›: the MIDI sources there are as the menu
// opens, and None. Choosing one plays from it through the audio preview
// module until None or the window closes: the big view's wave, which hears
// each edit while a key is held, or, while the bank panel has the focus, the
// bank as a table. The status line says what is listening and how many keys
// are held. Nothing is kept for the next start.
#pragma once

#include "WavePreview.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>

class BankModel;
class BankPanel;
class PortMenu;
class QAction;
class QMenu;
class StatusLine;

class KeyboardPlay : public QObject
{
    Q_OBJECT

public:
    struct Window
    {
        QObject* owner;
        std::function<std::optional<PlayWave>()> viewWave;  // none while no wave is loaded
        std::function<double()> levelDb;
    };
    // The submenu goes into `waveMenu` after `after`.
    KeyboardPlay(Window window, BankModel& bank, BankPanel& panel, QMenu& waveMenu, QAction* after, StatusLine& status);
    ~KeyboardPlay() override;

    // The big view's wave changed: heard from the next period on.
    void viewChanged(const std::int16_t (&wave)[128]);

private:
    void choose(const std::string& title);
    void start();
    void play(const std::string& address);
    void focusMoved();
    void showKeys();

    Window m_window;
    BankModel& m_bank;
    BankPanel& m_panel;
    StatusLine& m_status;
    PortMenu* m_menu;
    WavePreview m_play;
    QTimer m_keys;
    std::string m_title;   // the source chosen; "" for None
    bool m_table = false;  // what plays is the bank, not the view's wave
    int m_shownKeys = -1;
};
