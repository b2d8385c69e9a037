// The keyboard's instrument: sixteen voices, each its own key, reading the
// band-limited tables of one wave or of a bank's waves in order. MIDI
// messages are handled between renders, so an output that renders up to an
// event's frame, hands the event over and renders on places every note at
// its own frame.
//
//   - A note-off releases its key only; a seventeenth key takes the oldest
//     voice, whose sound fades out beside the new note's.
//   - Attack and release are linear ramps of 5 ms; stolen voices and all
//     sound off fade in 2 ms.
//   - Velocity sets the amplitude as (velocity / 127)^2 of the gain; 0 is a
//     note-off.
//   - Sustain (CC 64) holds released keys; pitch bend spans +-2 semitones;
//     CC 123 releases every note, CC 120 fades every sound, CC 121 resets
//     bend and sustain.
//   - The mod wheel (CC 1) moves through the waves in order, crossfading
//     neighbours; program change N picks wave 97 + N. Any channel plays.
//
// Render and Handle are realtime: no allocation, no locks, no blocking.
#pragma once

#include "KeyTables.h"
#include "PlaySource.h"

#include <array>
#include <atomic>
#include <deque>
#include <memory>
#include <vector>

// The keys held on the instrument last built in this process, while it
// lives; -1 when none does. Any thread but the realtime one.
int PlayingKeysHeld();

class Instrument : public PlaySource
{
public:
    static constexpr std::size_t kVoices = 16;

    // `waveNumbers` name the tables' waves, for program changes; `gain` is
    // the level of a note of velocity 127.
    Instrument(std::unique_ptr<const KeyTables> tables, std::vector<int> waveNumbers, double sampleRate, float gain);
    ~Instrument() override;

    // Realtime: one channel message, complete with its status byte, taking
    // effect at the next frame rendered. Others are ignored.
    void Handle(const std::uint8_t* bytes, std::size_t size) noexcept;
    void Render(float* out, std::size_t frames) noexcept override;

    // One control thread at a time: from the next render on, these tables
    // play (as many waves as before). Those the realtime thread can no
    // longer reach are freed here.
    void ReplaceTables(std::unique_ptr<const KeyTables> tables);

    void RequestStop() noexcept override { m_stopRequested.store(true, std::memory_order_relaxed); }
    bool Finished() const noexcept override { return m_finished.load(std::memory_order_acquire); }
    std::uint64_t FramesRendered() const noexcept override { return m_rendered.load(std::memory_order_relaxed); }
    // Any thread: the keys down at the last render or message.
    int KeysHeld() const noexcept { return m_keysHeld.load(std::memory_order_relaxed); }

private:
    enum class Stage { kOff, kRising, kOn, kFalling };
    struct Voice
    {
        Stage stage = Stage::kOff;
        int key = -1;
        bool held = false;       // the key is down
        bool sustained = false;  // released while the pedal is down
        int level = 0;           // of KeyTables
        float envelope = 0.0f;
        float step = 0.0f;  // the envelope's change a frame
        float amplitude = 0.0f;
        double phase = 0.0;  // cycles, 0 to 1
        double increment = 0.0;
        std::uint64_t order = 0;  // when the note began
    };
    static constexpr std::size_t kChunk = 64;

    void NoteOn(int key, int velocity) noexcept;
    void NoteOff(int key) noexcept;
    void Control(int controller, int value) noexcept;
    void Release(Voice& voice, float step) noexcept;
    Voice& VoiceFor(int key) noexcept;
    void FadeAway(const Voice& voice) noexcept;
    void RenderVoice(Voice& voice, float* out, std::size_t frames) noexcept;
    void CountKeys() noexcept;

    const std::vector<int> m_waveNumbers;
    const double m_sampleRate;
    const float m_gain;
    const float m_rampStep;   // attack and release
    const float m_quickStep;  // stolen voices, all sound off
    const double m_slew;      // of the wave position, a frame

    // The realtime thread's own.
    std::array<Voice, kVoices> m_voices;
    std::array<Voice, kVoices> m_fading;  // stolen voices' sounds on their way out
    std::uint64_t m_notes = 0;
    bool m_sustain = false;
    double m_bend = 1.0;
    double m_position = 0.0;  // in waves, 0 to waves - 1
    double m_target = 0.0;
    bool m_stopping = false;
    const KeyTables* m_tables = nullptr;  // for this render
    std::array<std::size_t, kChunk> m_chunkWave{};
    std::array<float, kChunk> m_chunkMix{};

    // Tables: the control side owns them, oldest first; the realtime thread
    // takes the newest at each render and says which it uses.
    std::deque<std::unique_ptr<const KeyTables>> m_owned;
    std::atomic<const KeyTables*> m_newest{nullptr};
    std::atomic<const KeyTables*> m_inUse{nullptr};

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_finished{false};
    std::atomic<std::uint64_t> m_rendered{0};
    std::atomic<int> m_keysHeld{0};
};
