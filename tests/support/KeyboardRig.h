// Two JACK clients of the test's own around a player: a keyboard whose port
// NAME:out plays MIDI messages at the server frames given, and a recorder
// whose port NAME:in keeps every sample at the server frame it played in.
// With both, a sound's start is held against its note-on frame for frame.
#pragma once

#if QWD_WITH_JACK
#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

struct TimedMessage
{
    jack_nframes_t frame;
    std::vector<std::uint8_t> bytes;
};

class JackKeyboard
{
public:
    explicit JackKeyboard(const std::string& name)
        : m_client(jack_client_open(name.c_str(), JackNoStartServer, nullptr)),
          m_port(jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0))
    {
        jack_set_process_callback(m_client, &JackKeyboard::Process, this);
        jack_activate(m_client);
    }
    ~JackKeyboard() { jack_client_close(m_client); }

    jack_nframes_t Now() const { return jack_frame_time(m_client); }
    jack_nframes_t Period() const { return jack_get_buffer_size(m_client); }
    // Frames in order, all yet to come.
    void Play(std::vector<TimedMessage> messages)
    {
        m_ready.store(false);
        m_messages = std::move(messages);
        m_written.assign(m_messages.size(), 0);
        m_next = 0;
        m_ready.store(true);
    }
    // Messages written past their frame (the keyboard's own period came too
    // late), and the frame each went out at.
    unsigned Late() const { return m_late.load(); }
    jack_nframes_t WrittenAt(std::size_t message) const { return m_written[message]; }

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* keyboard = static_cast<JackKeyboard*>(self);
        void* buffer = jack_port_get_buffer(keyboard->m_port, frames);
        jack_midi_clear_buffer(buffer);
        if (!keyboard->m_ready.load())
            return 0;
        const jack_nframes_t start = jack_last_frame_time(keyboard->m_client);
        auto& messages = keyboard->m_messages;
        for (; keyboard->m_next < messages.size(); ++keyboard->m_next) {
            const TimedMessage& message = messages[keyboard->m_next];
            if (static_cast<std::int32_t>(message.frame - (start + frames)) >= 0)
                break;
            const bool late = static_cast<std::int32_t>(message.frame - start) < 0;
            keyboard->m_late += late ? 1 : 0;
            keyboard->m_written[keyboard->m_next] = late ? start : message.frame;
            jack_midi_event_write(buffer, late ? 0 : message.frame - start, message.bytes.data(), message.bytes.size());
        }
        return 0;
    }

    jack_client_t* m_client;
    jack_port_t* m_port;
    std::vector<TimedMessage> m_messages;
    std::vector<jack_nframes_t> m_written;
    std::size_t m_next = 0;
    std::atomic<bool> m_ready{false};
    std::atomic<unsigned> m_late{0};
};

class JackRecorder
{
public:
    JackRecorder(const std::string& name, double seconds)
        : m_samples(static_cast<std::size_t>(seconds * 48000)),
          m_client(jack_client_open(name.c_str(), JackNoStartServer, nullptr)),
          m_port(jack_port_register(m_client, "in", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0))
    {
        jack_set_process_callback(m_client, &JackRecorder::Process, this);
        jack_set_xrun_callback(
            m_client,
            [](void* self) {
                auto* recorder = static_cast<JackRecorder*>(self);
                if (const unsigned count = recorder->m_xruns.load(); count < recorder->m_xrunFrames.size()) {
                    recorder->m_xrunFrames[count] = jack_frame_time(recorder->m_client);
                    recorder->m_xruns.store(count + 1);
                }
                return 0;
            },
            this);
        jack_activate(m_client);
    }
    ~JackRecorder() { jack_client_close(m_client); }

    // Periods the server said some client missed: the recording has gaps.
    unsigned Xruns() const { return m_xruns.load(); }
    // Whether one was told between `from` and `to` (its frame is known to
    // within a period or so).
    bool XrunBetween(jack_nframes_t from, jack_nframes_t to) const
    {
        for (unsigned i = 0; i < m_xruns.load(); ++i)
            if (static_cast<std::int32_t>(m_xrunFrames[i] - from) >= 0 &&
                static_cast<std::int32_t>(to - m_xrunFrames[i]) >= 0)
                return true;
        return false;
    }
    // Whether every frame before `frame` has been recorded.
    bool Reached(jack_nframes_t frame) const
    {
        return m_recorded.load() > 0 && static_cast<std::int32_t>(frame - (m_first + m_recorded.load())) <= 0;
    }
    // 0 outside what was recorded.
    float At(jack_nframes_t frame) const
    {
        const auto index = static_cast<std::int64_t>(static_cast<std::int32_t>(frame - m_first));
        return index >= 0 && index < static_cast<std::int64_t>(m_recorded.load()) ? m_samples[index] : 0.0f;
    }
    // The first frame from `from` on, before `to`, whose sample passes
    // `level` either way; `to` when none does.
    jack_nframes_t FirstAbove(jack_nframes_t from, jack_nframes_t to, float level) const
    {
        for (jack_nframes_t frame = from; frame != to; ++frame)
            if (std::abs(At(frame)) > level)
                return frame;
        return to;
    }
    float Peak(jack_nframes_t from, jack_nframes_t to) const
    {
        float peak = 0;
        for (jack_nframes_t frame = from; frame != to; ++frame)
            peak = std::max(peak, std::abs(At(frame)));
        return peak;
    }
    double Rms(jack_nframes_t from, jack_nframes_t to) const
    {
        double sum = 0;
        for (jack_nframes_t frame = from; frame != to; ++frame)
            sum += static_cast<double>(At(frame)) * At(frame);
        return std::sqrt(sum / static_cast<double>(to - from));
    }
    // The amplitude of `hz` over [from, to): the window should hold whole
    // cycles of it.
    double Amplitude(double hz, jack_nframes_t from, jack_nframes_t to) const
    {
        double re = 0, im = 0;
        for (jack_nframes_t frame = from; frame != to; ++frame) {
            const double angle = 2 * 3.14159265358979323846 * hz * (frame - from) / 48000.0;
            re += At(frame) * std::cos(angle);
            im += At(frame) * std::sin(angle);
        }
        return 2 * std::hypot(re, im) / static_cast<double>(to - from);
    }

private:
    // Each period at its own frame time: one the server skipped leaves
    // silence, not a shift.
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* recorder = static_cast<JackRecorder*>(self);
        const auto* in = static_cast<const float*>(jack_port_get_buffer(recorder->m_port, frames));
        const jack_nframes_t start = jack_last_frame_time(recorder->m_client);
        if (recorder->m_recorded.load() == 0)
            recorder->m_first = start;
        const std::size_t at = start - recorder->m_first;
        if (at >= recorder->m_samples.size())
            return 0;
        const std::size_t room = std::min<std::size_t>(frames, recorder->m_samples.size() - at);
        std::copy(in, in + room, recorder->m_samples.begin() + static_cast<std::ptrdiff_t>(at));
        recorder->m_recorded.store(at + room);
        return 0;
    }

    std::vector<float> m_samples;
    jack_nframes_t m_first = 0;
    std::atomic<std::size_t> m_recorded{0};
    std::atomic<unsigned> m_xruns{0};
    std::array<jack_nframes_t, 4096> m_xrunFrames{};
    jack_client_t* m_client;
    jack_port_t* m_port;
};
#endif
