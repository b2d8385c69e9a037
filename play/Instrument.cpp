#include "Instrument.h"

#include "LiveWave.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

constexpr double kRampSeconds = 0.005;
constexpr double kQuickSeconds = 0.002;
// How far pitch bend reaches, either way; the tables leave room for it.
constexpr double kBendSemitones = 2.0;
constexpr int kFirstProgramWave = 97;

float StepFor(double seconds, double sampleRate)
{
    return static_cast<float>(1.0 / std::max(1.0, std::round(seconds * sampleRate)));
}

// The curve a player's touch follows: (velocity / 127)^2, 24 dB from 127 to
// 32, near enough a piano's.
float VelocityAmplitude(int velocity)
{
    const float touch = static_cast<float>(velocity) / 127.0f;
    return touch * touch;
}

std::mutex g_playingMutex;
const Instrument* g_playing = nullptr;

double KeyFrequency(int key)
{
    return 440.0 * std::exp2((key - 69) / 12.0);
}

}  // namespace

Instrument::Instrument(std::unique_ptr<const KeyTables> tables, std::vector<int> waveNumbers, double sampleRate,
                       float gain)
    : m_waveNumbers(std::move(waveNumbers)), m_sampleRate(sampleRate), m_gain(gain),
      m_rampStep(StepFor(kRampSeconds, sampleRate)), m_quickStep(StepFor(kQuickSeconds, sampleRate)),
      m_slew(1.0 / std::max(1.0, kRampSeconds * sampleRate))
{
    m_tables = tables.get();
    m_newest.store(tables.get());
    m_inUse.store(tables.get());
    m_owned.push_back(std::move(tables));
    const std::lock_guard<std::mutex> lock(g_playingMutex);
    g_playing = this;
}

Instrument::~Instrument()
{
    DetachLiveWave(this);
    const std::lock_guard<std::mutex> lock(g_playingMutex);
    if (g_playing == this)
        g_playing = nullptr;
}

int PlayingKeysHeld()
{
    const std::lock_guard<std::mutex> lock(g_playingMutex);
    return g_playing != nullptr ? g_playing->KeysHeld() : -1;
}

void Instrument::ReplaceTables(std::unique_ptr<const KeyTables> tables)
{
    if (tables->waves != m_owned.back()->waves)
        return;
    m_owned.push_back(std::move(tables));
    m_newest.store(m_owned.back().get(), std::memory_order_release);
    // The realtime thread only ever moves on to newer ones.
    const KeyTables* inUse = m_inUse.load(std::memory_order_acquire);
    const auto used =
        std::find_if(m_owned.begin(), m_owned.end(), [inUse](const auto& held) { return held.get() == inUse; });
    if (used != m_owned.end())
        m_owned.erase(m_owned.begin(), used);
}

void Instrument::Handle(const std::uint8_t* bytes, std::size_t size) noexcept
{
    if (size < 2 || bytes[0] < 0x80 || bytes[0] >= 0xF0 || m_stopping)
        return;
    const int kind = bytes[0] & 0xF0;
    const int first = bytes[1] & 0x7F;
    const int second = size > 2 ? bytes[2] & 0x7F : 0;
    if (kind != 0xC0 && kind != 0xD0 && size < 3)
        return;
    switch (kind) {
    case 0x90:
        if (second > 0) {
            NoteOn(first, second);
            break;
        }
        [[fallthrough]];
    case 0x80:
        NoteOff(first);
        break;
    case 0xB0:
        Control(first, second);
        break;
    case 0xC0:
        for (std::size_t wave = 0; wave < m_waveNumbers.size(); ++wave) {
            if (m_waveNumbers[wave] == kFirstProgramWave + first)
                m_position = m_target = static_cast<double>(wave);
        }
        break;
    case 0xE0:
        m_bend = std::exp2(((second << 7 | first) - 8192) / 8192.0 * kBendSemitones / 12.0);
        break;
    default:
        break;
    }
    CountKeys();
}

void Instrument::NoteOn(int key, int velocity) noexcept
{
    // The highest the key can be bent to decides its harmonics.
    const double frequency = KeyFrequency(key);
    const int level = LevelForFrequency(frequency * std::exp2(kBendSemitones / 12.0), m_sampleRate);
    Voice& voice = VoiceFor(key);
    if (voice.stage != Stage::kOff)
        FadeAway(voice);
    voice = Voice();
    if (level < 0)
        return;  // even the fundamental is past half the sample rate: silence
    voice.stage = Stage::kRising;
    voice.key = key;
    voice.held = true;
    voice.level = level;
    voice.step = m_rampStep;
    voice.amplitude = m_gain * VelocityAmplitude(velocity);
    voice.increment = frequency / m_sampleRate;
    voice.order = ++m_notes;
}

// The key's own voice, else a silent one, else the oldest released, else
// the oldest.
Instrument::Voice& Instrument::VoiceFor(int key) noexcept
{
    Voice* chosen = nullptr;
    const auto older = [](const Voice& a, const Voice* b) { return b == nullptr || a.order < b->order; };
    for (Voice& voice : m_voices) {
        if (voice.stage != Stage::kOff && voice.key == key)
            return voice;
    }
    for (Voice& voice : m_voices) {
        if (voice.stage == Stage::kOff)
            return voice;
    }
    for (Voice& voice : m_voices) {
        if (!voice.held && older(voice, chosen))
            chosen = &voice;
    }
    for (Voice& voice : m_voices) {
        if (chosen == nullptr || (chosen->held && older(voice, chosen)))
            chosen = &voice;
    }
    return *chosen;
}

// A voice taken for another note goes on sounding in a slot of its own,
// fading out, so that it does not stop with a step.
void Instrument::FadeAway(const Voice& voice) noexcept
{
    Voice* slot = &m_fading[0];
    for (Voice& fading : m_fading) {
        if (fading.stage == Stage::kOff) {
            slot = &fading;
            break;
        }
        if (fading.envelope * fading.amplitude < slot->envelope * slot->amplitude)
            slot = &fading;
    }
    *slot = voice;
    slot->held = slot->sustained = false;
    slot->stage = Stage::kFalling;
    slot->step = m_quickStep;
}

void Instrument::NoteOff(int key) noexcept
{
    for (Voice& voice : m_voices) {
        if (!voice.held || voice.key != key)
            continue;
        voice.held = false;
        if (m_sustain)
            voice.sustained = true;
        else
            Release(voice, m_rampStep);
    }
}

void Instrument::Release(Voice& voice, float step) noexcept
{
    voice.held = voice.sustained = false;
    if (voice.stage == Stage::kOff)
        return;
    voice.stage = Stage::kFalling;
    voice.step = std::max(voice.step, step);
}

void Instrument::Control(int controller, int value) noexcept
{
    switch (controller) {
    case 1:
        m_target = value / 127.0 * static_cast<double>(std::max<std::size_t>(m_waveNumbers.size(), 1) - 1);
        break;
    case 64:
        m_sustain = value >= 64;
        if (!m_sustain) {
            for (Voice& voice : m_voices) {
                if (voice.sustained)
                    Release(voice, m_rampStep);
            }
        }
        break;
    case 120:
        for (Voice& voice : m_voices)
            Release(voice, m_quickStep);
        for (Voice& voice : m_fading)
            Release(voice, m_quickStep);
        break;
    case 121:
        m_bend = 1.0;
        Control(64, 0);
        break;
    case 123:
        for (Voice& voice : m_voices)
            Release(voice, m_rampStep);
        break;
    default:
        break;
    }
}

void Instrument::Render(float* out, std::size_t frames) noexcept
{
    m_tables = m_newest.load(std::memory_order_acquire);
    m_inUse.store(m_tables, std::memory_order_release);
    if (m_stopRequested.load(std::memory_order_relaxed) && !m_stopping) {
        for (Voice& voice : m_voices)
            Release(voice, m_rampStep);
        m_stopping = true;
    }
    std::fill(out, out + frames, 0.0f);
    const std::size_t last = m_tables->waves - 1;
    for (std::size_t done = 0; done < frames;) {
        const std::size_t count = std::min(kChunk, frames - done);
        for (std::size_t i = 0; i < count; ++i) {
            m_position += (m_target - m_position) * m_slew;
            const std::size_t wave = std::min(static_cast<std::size_t>(std::max(0.0, m_position)), last);
            m_chunkWave[i] = wave;
            m_chunkMix[i] = wave < last ? static_cast<float>(m_position - static_cast<double>(wave)) : 0.0f;
        }
        for (Voice& voice : m_voices)
            RenderVoice(voice, out + done, count);
        for (Voice& voice : m_fading)
            RenderVoice(voice, out + done, count);
        done += count;
    }
    const auto silent = [](const Voice& voice) { return voice.stage == Stage::kOff; };
    if (m_stopping && std::all_of(m_voices.begin(), m_voices.end(), silent) &&
        std::all_of(m_fading.begin(), m_fading.end(), silent))
        m_finished.store(true, std::memory_order_release);
    m_rendered.fetch_add(frames, std::memory_order_relaxed);
    CountKeys();
}

void Instrument::RenderVoice(Voice& voice, float* out, std::size_t frames) noexcept
{
    if (voice.stage == Stage::kOff)
        return;
    const double increment = voice.increment * m_bend;
    for (std::size_t i = 0; i < frames; ++i) {
        if (voice.stage == Stage::kRising) {
            voice.envelope = std::min(1.0f, voice.envelope + voice.step);
            if (voice.envelope >= 1.0f)
                voice.stage = Stage::kOn;
        } else if (voice.stage == Stage::kFalling) {
            voice.envelope = std::max(0.0f, voice.envelope - voice.step);
            if (voice.envelope <= 0.0f) {
                voice = Voice();
                return;
            }
        }
        // Linear interpolation, as the preview's oscillator reads its table.
        const double position = voice.phase * kTableSize;
        const auto index = static_cast<std::size_t>(position);
        const auto fraction = static_cast<float>(position - static_cast<double>(index));
        const float* cycle = m_tables->Cycle(m_chunkWave[i], static_cast<std::size_t>(voice.level));
        float value = cycle[index] + fraction * (cycle[index + 1] - cycle[index]);
        if (const float mix = m_chunkMix[i]; mix > 0.0f) {
            const float* next = cycle + kLevelHarmonics.size() * kCycleFloats;
            const float other = next[index] + fraction * (next[index + 1] - next[index]);
            value += mix * (other - value);
        }
        out[i] += value * voice.amplitude * voice.envelope;
        voice.phase += increment;
        voice.phase -= std::floor(voice.phase);
    }
}

void Instrument::CountKeys() noexcept
{
    const auto held = std::count_if(m_voices.begin(), m_voices.end(), [](const Voice& voice) { return voice.held; });
    m_keysHeld.store(static_cast<int>(held), std::memory_order_relaxed);
}
