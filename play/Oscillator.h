// The realtime half of a preview: reads band-limited tables at a fixed pitch,
// one wave after another, each faded in and out. Everything it uses is made
// before the first period; Render never allocates, locks or blocks.
#pragma once

#include "PlaySource.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

class Oscillator : public PlaySource
{
public:
    // `tables` hold one cycle each, with the first sample repeated at the
    // end. Each wave lasts `framesEach` frames (0: until stopped), its first
    // and last `fadeFrames` ramped.
    Oscillator(std::vector<std::vector<float>> tables, double cyclesPerFrame, float gain, std::uint64_t framesEach,
               std::uint32_t fadeFrames);
    ~Oscillator() override;

    // One control thread at a time: from the next period on, `table` plays
    // in place of the wave's own. The tables the realtime thread can no
    // longer reach are freed here, never there.
    void ReplaceTable(std::vector<float> table);

    // Realtime: `frames` samples into `out`; silence once finished.
    void Render(float* out, std::size_t frames) noexcept override;

    // Any thread: fade out from where it is, then finish.
    void RequestStop() noexcept override { m_stopRequested.store(true, std::memory_order_relaxed); }
    bool Finished() const noexcept override { return m_finished.load(std::memory_order_acquire); }
    std::uint64_t FramesRendered() const noexcept override { return m_rendered.load(std::memory_order_relaxed); }

private:
    enum class Stage { kRising, kSteady, kFalling, kDone };
    float NextSample() noexcept;

    const std::vector<std::vector<float>> m_tables;
    const double m_increment;
    const float m_gain;
    const std::uint64_t m_framesEach;
    const float m_fadeStep;
    const std::uint32_t m_fadeFrames;

    // The realtime thread's own.
    std::size_t m_wave = 0;
    std::uint64_t m_position = 0;  // frames into the current wave
    double m_phase = 0.0;          // cycles, 0 to 1
    float m_envelope = 0.0f;
    Stage m_stage = Stage::kRising;

    // Replacement tables: the control side owns them, oldest first; the
    // realtime thread takes the newest at each period and says which it uses.
    std::deque<std::unique_ptr<const std::vector<float>>> m_replacements;
    std::atomic<const std::vector<float>*> m_newest{nullptr};
    std::atomic<const std::vector<float>*> m_inUse{nullptr};
    const std::vector<float>* m_replaced = nullptr;  // the realtime thread's, for this period

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_finished{false};
    std::atomic<std::uint64_t> m_rendered{0};
    static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<std::uint64_t>::is_always_lock_free);
};
