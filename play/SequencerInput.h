// A MIDI source on the ALSA sequencer, played from: a client with one
// writable port, connected from the source, read by a thread of its own
// that queues each message as it arrives. The audio side takes what has
// arrived at the start of each period, so a note starts within a period of
// its event's arrival. The queue is lock-free: the audio side neither waits
// nor allocates.
#pragma once

#include "Instrument.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

struct _snd_seq;

// "CLIENT:PORT" in numbers, as the sequencer names its ports.
inline bool IsSequencerAddress(const std::string& address)
{
    const auto colon = address.find(':');
    const auto digits = [](const std::string& part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string::npos;
    };
    return colon != std::string::npos && digits(address.substr(0, colon)) && digits(address.substr(colon + 1));
}

class SequencerInput
{
public:
    SequencerInput() = default;
    ~SequencerInput();
    SequencerInput(const SequencerInput&) = delete;
    SequencerInput& operator=(const SequencerInput&) = delete;

    // A client `name` whose port midi_in is connected from the sequencer
    // port at `address` ("20:0"), read from then on. False, with the failing
    // call and its reason in `error`, when it can't be.
    bool Open(const std::string& name, const std::string& address, std::string& error);

    // Realtime: every message that has arrived, handed to `instrument`.
    void HandOver(Instrument& instrument) noexcept;
    // Any thread: the source's port or client has gone from the sequencer.
    bool Gone() const noexcept { return m_gone.load(std::memory_order_relaxed); }
    // The longest a message waited, from its arrival to its hand-over.
    double WorstWaitSeconds() const noexcept { return Seconds(m_worstWait); }
    // The longest between two hand-overs: the device's period as its writer
    // saw it, wake-ups late or early included.
    double WorstPeriodSeconds() const noexcept { return Seconds(m_worstPeriod); }
    // The longest a message waited past the first hand-over after its
    // arrival: 0 unless one was kept a period or more.
    double WorstMissedSeconds() const noexcept { return Seconds(m_worstMissed); }

private:
    struct Message
    {
        std::uint8_t bytes[3];
        std::uint8_t size;
        std::int64_t arrived;  // PeriodTimer::Now()
    };
    void Read();
    void Queue(const Message& message);
    static double Seconds(const std::atomic<std::int64_t>& nanoseconds) noexcept
    {
        return static_cast<double>(nanoseconds.load()) * 1e-9;
    }
    static void Raise(std::atomic<std::int64_t>& worst, std::int64_t value) noexcept
    {
        if (value > worst.load(std::memory_order_relaxed))
            worst.store(value, std::memory_order_relaxed);  // one writer: the audio side
    }

    _snd_seq* m_seq = nullptr;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    int m_sourceClient = -1;
    int m_sourcePort = -1;
    std::atomic<bool> m_gone{false};
    std::array<Message, 1024> m_queue{};
    std::atomic<std::size_t> m_written{0};
    std::atomic<std::size_t> m_taken{0};
    std::atomic<std::int64_t> m_worstWait{0};
    std::int64_t m_lastHandOver = 0;  // the audio side's own
    std::atomic<std::int64_t> m_worstPeriod{0};
    std::atomic<std::int64_t> m_worstMissed{0};
};
