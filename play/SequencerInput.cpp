#include "SequencerInput.h"

#include "PeriodTimer.h"

#include <alsa/asoundlib.h>

#include <vector>

#include <poll.h>

SequencerInput::~SequencerInput()
{
    m_stop.store(true);
    if (m_reader.joinable())
        m_reader.join();
    if (m_seq != nullptr)
        snd_seq_close(m_seq);
}

bool SequencerInput::Open(const std::string& name, const std::string& address, std::string& error)
{
    const auto failed = [&](const std::string& call, int code) {
        error = call + ": " + snd_strerror(code);
        return false;
    };
    if (const int code = snd_seq_open(&m_seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK); code < 0) {
        m_seq = nullptr;
        return failed("snd_seq_open default", code);
    }
    snd_seq_set_client_name(m_seq, name.c_str());
    const int port = snd_seq_create_simple_port(m_seq, "midi_in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0)
        return failed("snd_seq_create_simple_port midi_in", port);
    snd_seq_addr_t source;
    if (const int code = snd_seq_parse_address(m_seq, &source, address.c_str()); code < 0)
        return failed("snd_seq_parse_address " + address, code);
    if (const int code = snd_seq_connect_from(m_seq, port, source.client, source.port); code < 0)
        return failed("snd_seq_connect_from " + address, code);
    m_sourceClient = source.client;
    m_sourcePort = source.port;
    // The system's announcements say when the source goes away.
    if (const int code = snd_seq_connect_from(m_seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
        code < 0)
        return failed("snd_seq_connect_from the system's announce port", code);
    m_reader = std::thread([this] { Read(); });
    return true;
}

void SequencerInput::Read()
{
    std::vector<pollfd> ready(static_cast<std::size_t>(snd_seq_poll_descriptors_count(m_seq, POLLIN)));
    snd_seq_poll_descriptors(m_seq, ready.data(), static_cast<unsigned>(ready.size()), POLLIN);
    while (!m_stop.load()) {
        // Woken at least every 50 ms to see whether to stop.
        if (::poll(ready.data(), ready.size(), 50) <= 0)
            continue;
        snd_seq_event_t* event = nullptr;
        while (snd_seq_event_input(m_seq, &event) >= 0 && event != nullptr) {
            const auto channel = static_cast<std::uint8_t>(event->data.note.channel & 0x0F);
            const snd_seq_ev_note_t& note = event->data.note;
            const snd_seq_ev_ctrl_t& control = event->data.control;
            switch (event->type) {
            case SND_SEQ_EVENT_NOTEON:
                Queue({{static_cast<std::uint8_t>(0x90 | channel), note.note, note.velocity}, 3, 0});
                break;
            case SND_SEQ_EVENT_NOTEOFF:
                Queue({{static_cast<std::uint8_t>(0x80 | channel), note.note, note.velocity}, 3, 0});
                break;
            case SND_SEQ_EVENT_CONTROLLER:
                Queue(
                    {{static_cast<std::uint8_t>(0xB0 | (control.channel & 0x0F)),
                      static_cast<std::uint8_t>(control.param & 0x7F), static_cast<std::uint8_t>(control.value & 0x7F)},
                     3,
                     0});
                break;
            case SND_SEQ_EVENT_PGMCHANGE:
                Queue({{static_cast<std::uint8_t>(0xC0 | (control.channel & 0x0F)),
                        static_cast<std::uint8_t>(control.value & 0x7F), 0},
                       2,
                       0});
                break;
            case SND_SEQ_EVENT_PITCHBEND: {
                const int bend = control.value + 8192;
                Queue({{static_cast<std::uint8_t>(0xE0 | (control.channel & 0x0F)),
                        static_cast<std::uint8_t>(bend & 0x7F), static_cast<std::uint8_t>((bend >> 7) & 0x7F)},
                       3,
                       0});
                break;
            }
            case SND_SEQ_EVENT_CLIENT_EXIT:
            case SND_SEQ_EVENT_PORT_EXIT:
                if (event->data.addr.client == m_sourceClient &&
                    (event->type == SND_SEQ_EVENT_CLIENT_EXIT || event->data.addr.port == m_sourcePort))
                    m_gone.store(true);
                break;
            default:
                break;
            }
        }
    }
}

// A queue that is full drops the message: the audio side has stopped
// taking them, and nothing may wait for it.
void SequencerInput::Queue(const Message& message)
{
    const std::size_t written = m_written.load(std::memory_order_relaxed);
    if (written - m_taken.load(std::memory_order_acquire) == m_queue.size())
        return;
    m_queue[written % m_queue.size()] = message;
    m_queue[written % m_queue.size()].arrived = PeriodTimer::Now();
    m_written.store(written + 1, std::memory_order_release);
}

void SequencerInput::HandOver(Instrument& instrument) noexcept
{
    std::size_t taken = m_taken.load(std::memory_order_relaxed);
    const std::int64_t now = PeriodTimer::Now();
    if (m_lastHandOver != 0)
        Raise(m_worstPeriod, now - m_lastHandOver);
    for (const std::size_t written = m_written.load(std::memory_order_acquire); taken != written; ++taken) {
        const Message& message = m_queue[taken % m_queue.size()];
        instrument.Handle(message.bytes, message.size);
        Raise(m_worstWait, now - message.arrived);
        if (m_lastHandOver != 0)
            Raise(m_worstMissed, m_lastHandOver - message.arrived);
    }
    m_taken.store(taken, std::memory_order_release);
    m_lastHandOver = now;
}
