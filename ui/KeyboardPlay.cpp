#include "KeyboardPlay.h"

#include "BankModel.h"
#include "BankPanel.h"
#include "DestinationDirectory.h"
#include "PortMenu.h"
#include "StatusLine.h"
#include "WavePlayEntry.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>

namespace {

constexpr int kFirstWave = 97;
constexpr int kKeysLookMs = 100;

}  // namespace

KeyboardPlay::KeyboardPlay(Window window, BankModel& bank, BankPanel& panel, QMenu& waveMenu, QAction* after,
                           StatusLine& status)
    : QObject(window.owner), m_window(std::move(window)), m_bank(bank), m_panel(panel), m_status(status),
      m_menu(new PortMenu({QStringLiteral("Play from MIDI &Keyboard"), true,
                           QStringLiteral("%1: its keys play the big view's wave, or the bank while the bank "
                                          "panel has the focus"),
                           QStringLiteral("No MIDI sources"), QStringLiteral("&None")},
                          &waveMenu))
{
    const QList<QAction*> actions = waveMenu.actions();
    const qsizetype next = actions.indexOf(after) + 1;
    waveMenu.insertMenu(next > 0 && next < actions.size() ? actions[next] : nullptr, m_menu);
    connect(m_menu, &PortMenu::chosen, this, &KeyboardPlay::choose);
    connect(&m_play, &WavePreview::started, this, [this] {
        m_shownKeys = -1;
        showKeys();
        m_keys.start(kKeysLookMs);
    });
    connect(&m_play, &WavePreview::finished, this, [this](const QString& error) {
        m_keys.stop();
        if (!error.isEmpty()) {
            m_status.say(QStringLiteral("Not playing from %1: %2").arg(QString::fromStdString(m_title), error));
            choose("");
        } else if (!m_title.empty()) {
            start();  // the focus moved, or another source was chosen
        } else {
            m_status.say(QStringLiteral("Stopped playing from MIDI"));
        }
    });
    connect(&m_keys, &QTimer::timeout, this, &KeyboardPlay::showKeys);
    connect(qApp, &QApplication::focusChanged, this, &KeyboardPlay::focusMoved);
}

KeyboardPlay::~KeyboardPlay() = default;

void KeyboardPlay::viewChanged(const std::int16_t (&wave)[128])
{
    if (!m_table)
        m_play.Update(wave);
}

void KeyboardPlay::choose(const std::string& title)
{
    m_title = title;
    m_menu->setCurrent(title);
    if (m_play.Playing())
        m_play.Stop();  // started again once ended, if a source is chosen
    else if (!title.empty())
        start();
}

// The source found again by its title, in the event loop.
void KeyboardPlay::start()
{
    FindMIDIPortByTitleOrAddressThen(m_title, true, [self = QPointer<KeyboardPlay>(this)](MIDIEndpointRef found) {
        if (self == nullptr || self->m_title.empty())
            return;
        std::string address;
        MIDIObjectGetStringProperty(found, kMIDIPropertyAddress, address);
        if (found == 0 || address.empty()) {
            self->m_status.say(QStringLiteral("No MIDI source %1 any more").arg(QString::fromStdString(self->m_title)));
            self->choose("");
            return;
        }
        self->play(address);
    });
}

void KeyboardPlay::play(const std::string& address)
{
    PlayRequest request;
    m_table = m_panel.hasFocus() && m_bank.filledCount() > 0;
    if (m_table) {
        for (int slot = 0; slot < BankModel::kSlots; ++slot) {
            if (const BankSlot& filled = m_bank.slotAt(slot); filled.filled) {
                request.waves.emplace_back();
                std::copy(std::begin(filled.wave), std::end(filled.wave), request.waves.back().begin());
                request.waveNumbers.push_back(kFirstWave + slot);
            }
        }
    } else if (const std::optional<PlayWave> wave = m_window.viewWave()) {
        request.waves.push_back(*wave);
    } else {
        m_status.say(QStringLiteral("Nothing to play from %1: load a wave, or fill the bank and give it the focus")
                         .arg(QString::fromStdString(m_title)));
        choose("");
        return;
    }
    request.midiIn = address;
    request.gainDb = m_window.levelDb();
    m_play.Start(std::move(request));
}

// Into the bank panel or out of it: the other waves play from then on.
void KeyboardPlay::focusMoved()
{
    if (m_title.empty() || !m_play.Playing())
        return;
    if ((m_panel.hasFocus() && m_bank.filledCount() > 0) != m_table)
        m_play.Stop();
}

void KeyboardPlay::showKeys()
{
    const PlayingKeysHeldFn held = PlayingKeysHeldEntry();
    const int keys = held != nullptr ? held() : -1;
    if (keys < 0 || keys == m_shownKeys)
        return;
    m_shownKeys = keys;
    m_status.say(QStringLiteral("Playing from %1: %2 %3 held")
                     .arg(QString::fromStdString(m_title))
                     .arg(keys)
                     .arg(keys == 1 ? QStringLiteral("key") : QStringLiteral("keys")));
}
