#include "Oscillator.h"

#include "LiveWave.h"

#include <algorithm>
#include <cmath>
#include <utility>

Oscillator::Oscillator(std::vector<std::vector<float>> tables, double cyclesPerFrame, float gain,
                       std::uint64_t framesEach, std::uint32_t fadeFrames)
    : m_tables(std::move(tables)), m_increment(cyclesPerFrame), m_gain(gain), m_framesEach(framesEach),
      m_fadeStep(1.0f / static_cast<float>(std::max<std::uint32_t>(fadeFrames, 1))),
      m_fadeFrames(std::max<std::uint32_t>(fadeFrames, 1))
{
    if (m_tables.empty())
        m_stage = Stage::kDone;
}

Oscillator::~Oscillator()
{
    DetachLiveWave(this);
}

void Oscillator::ReplaceTable(std::vector<float> table)
{
    m_replacements.push_back(std::make_unique<const std::vector<float>>(std::move(table)));
    m_newest.store(m_replacements.back().get(), std::memory_order_release);
    // The realtime thread only ever moves on to newer ones.
    const std::vector<float>* inUse = m_inUse.load(std::memory_order_acquire);
    const auto used = std::find_if(m_replacements.begin(), m_replacements.end(),
                                   [inUse](const auto& held) { return held.get() == inUse; });
    if (used != m_replacements.end())
        m_replacements.erase(m_replacements.begin(), used);
}

void Oscillator::Render(float* out, std::size_t frames) noexcept
{
    m_replaced = m_newest.load(std::memory_order_acquire);
    m_inUse.store(m_replaced, std::memory_order_release);
    for (std::size_t i = 0; i < frames; ++i)
        out[i] = NextSample();
    m_rendered.fetch_add(frames, std::memory_order_relaxed);
}

float Oscillator::NextSample() noexcept
{
    if (m_stage == Stage::kDone)
        return 0.0f;
    const bool ending = m_stopRequested.load(std::memory_order_relaxed) ||
                        (m_framesEach != 0 && m_position + m_fadeFrames >= m_framesEach);
    if (ending)
        m_stage = Stage::kFalling;
    switch (m_stage) {
    case Stage::kRising:
        m_envelope = std::min(1.0f, m_envelope + m_fadeStep);
        if (m_envelope >= 1.0f)
            m_stage = Stage::kSteady;
        break;
    case Stage::kFalling:
        m_envelope = std::max(0.0f, m_envelope - m_fadeStep);
        break;
    default:
        break;
    }

    // Linear interpolation: the tables are oversampled far enough that its
    // error lies below 16-bit resolution.
    const std::vector<float>& table = m_replaced != nullptr ? *m_replaced : m_tables[m_wave];
    const double position = m_phase * static_cast<double>(table.size() - 1);
    const auto index = static_cast<std::size_t>(position);
    const auto fraction = static_cast<float>(position - static_cast<double>(index));
    const float value = table[index] + fraction * (table[index + 1] - table[index]);
    m_phase += m_increment;
    m_phase -= std::floor(m_phase);
    ++m_position;

    if (m_stage == Stage::kFalling && m_envelope <= 0.0f) {
        if (m_stopRequested.load(std::memory_order_relaxed) || m_wave + 1 == m_tables.size()) {
            m_stage = Stage::kDone;
            m_finished.store(true, std::memory_order_release);
        } else {
            ++m_wave;
            m_position = 0;
            m_phase = 0.0;
            m_stage = Stage::kRising;
        }
    }
    return value * m_gain * m_envelope;
}
