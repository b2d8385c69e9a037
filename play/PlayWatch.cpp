#include "PlayWatch.h"

#include "BandLimitedTable.h"
#include "JackServerPresence.h"
#include "LiveWave.h"

#include <algorithm>
#include <cmath>

#include <poll.h>
#include <sys/eventfd.h>

namespace {

// Long enough that starting and stopping don't click, short enough not to
// be heard as a swell.
constexpr double kFadeSeconds = 0.005;
// How often the watcher looks for a stop request.
constexpr std::chrono::milliseconds kStopLatency{20};

}  // namespace

std::unique_ptr<Oscillator> PlayWatch::MakeOscillator(unsigned sampleRate)
{
    const double gain = std::pow(10.0, m_request.gainDb / 20.0);
    std::vector<std::vector<float>> tables;
    for (const PlayWave& wave : m_request.waves) {
        std::int16_t samples[128];
        std::copy(wave.begin(), wave.end(), samples);
        BandLimitedTable table = MakeBandLimitedTable(samples, m_request.frequency, sampleRate);
        m_report.harmonicsKept = table.harmonicsKept;
        m_report.limitedDb = std::min(m_report.limitedDb, 20.0 * std::log10(LimitToFullScale(table, gain)));
        tables.push_back(std::move(table.samples));
    }
    m_report.sampleRate = sampleRate;
    // A time too short for one frame still ends: 0 frames means until stopped.
    const auto framesEach =
        m_request.secondsEach > 0
            ? std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(m_request.secondsEach * sampleRate)))
            : 0;
    auto oscillator =
        std::make_unique<Oscillator>(std::move(tables), m_request.frequency / sampleRate, static_cast<float>(gain),
                                     framesEach, static_cast<std::uint32_t>(std::lround(kFadeSeconds * sampleRate)));
    AttachLiveWave(*oscillator, m_request.frequency, sampleRate, gain);
    return oscillator;
}

std::unique_ptr<Instrument> PlayWatch::MakeInstrument(unsigned sampleRate)
{
    const double keyGain = std::pow(10.0, m_request.gainDb / 20.0);
    auto tables = std::make_unique<KeyTables>(MakeKeyTables(m_request.waves, keyGain));
    m_report.sampleRate = sampleRate;
    m_report.harmonicsKept = kLevelHarmonics.front();
    m_report.limitedDb = tables->limitedDb;
    auto instrument =
        std::make_unique<Instrument>(std::move(tables), m_request.waveNumbers, sampleRate, static_cast<float>(keyGain));
    // A bank played as a table is not one wave to change.
    if (m_request.waves.size() == 1)
        AttachLiveWave(*instrument, keyGain);
    return instrument;
}

std::unique_ptr<PlaySource> PlayWatch::MakeSource(unsigned sampleRate, Instrument*& instrument)
{
    instrument = nullptr;
    if (m_request.midiIn.empty())
        return MakeOscillator(sampleRate);
    auto made = MakeInstrument(sampleRate);
    instrument = made.get();
    return made;
}

void PlayWatch::Started() const
{
    if (m_started)
        m_started(m_report);
}

void PlayWatch::Sleep(AudioClock::time_point until, PlaySource* oscillator)
{
    const int returned = m_request.lane != nullptr ? m_request.lane->ReturnedFd() : -1;
    for (auto now = AudioClock::now(); now < until; now = AudioClock::now()) {
        const auto step = std::min<AudioClock::duration>(until - now, kStopLatency);
        const int ms = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(step).count());
        // The signal pipe stays readable once written: watched until then only.
        pollfd ready[2] = {{m_stopAsked ? -1 : m_request.stopFd, POLLIN, 0}, {returned, POLLIN, 0}};
        if (::poll(ready, 2, ms) > 0 && (ready[0].revents & POLLIN) != 0)
            m_stopAsked = true;
        if (m_request.stop != nullptr && m_request.stop->load())
            m_stopAsked = true;
        if (m_stopAsked && oscillator != nullptr)
            oscillator->RequestStop();
        if ((ready[1].revents & POLLIN) != 0) {
            eventfd_t ignored;
            ::eventfd_read(returned, &ignored);
            return;
        }
    }
}

bool PlayWatch::Call(const std::string& system, const std::string& callName, std::function<void()> call)
{
    if (m_request.lane == nullptr) {
        Fail(PlayOutcome::kFailed, "no lane to call " + system + " on");
        return false;
    }
    const auto deadline = AudioClock::now() + kAnswerWithin;
    return Await(
        *m_request.lane->Post(std::move(call)), [deadline] { return deadline; }, nullptr, system, callName);
}

bool PlayWatch::Stream(const std::string& system, const std::string& callName, std::function<void()> call,
                       PlaySource& oscillator)
{
    if (m_request.lane == nullptr) {
        Fail(PlayOutcome::kFailed, "no lane to call " + system + " on");
        return false;
    }
    const auto posted = m_request.lane->Post(std::move(call));
    std::uint64_t frames = oscillator.FramesRendered();
    auto moved = AudioClock::now();
    const auto deadline = [&] {
        if (const std::uint64_t now = oscillator.FramesRendered(); now != frames) {
            frames = now;
            moved = AudioClock::now();
        }
        return moved + kAnswerWithin;
    };
    return Await(*posted, deadline, &oscillator, system, callName);
}

bool PlayWatch::Await(const Lane::Call& call, const std::function<AudioClock::time_point()>& deadline,
                      PlaySource* oscillator, const std::string& system, const std::string& callName)
{
    switch (m_request.lane->Wait(call, deadline, m_privateLocks,
                                 [&](AudioClock::time_point until) { Sleep(until, oscillator); })) {
    case LaneWait::kDone:
        return true;
    case LaneWait::kNotAnswering:
        Fail(PlayOutcome::kFailed, system + " not answering within 1 s (" + callName + ")");
        break;
    case LaneWait::kLocked:
        Fail(PlayOutcome::kFailed, system.rfind("JACK", 0) == 0
                                       ? "JACK's shared state looks locked by a process that died (remove " +
                                             JackDatabaseFolder() + " to free it)"
                                       : callName + " waited on a lock for " + std::to_string(kLockPatience.count()) +
                                             " s past its deadline");
        break;
    case LaneWait::kBusy:
        Fail(PlayOutcome::kFailed,
             callName + " still busy " + std::to_string(kBusyLimit.count()) + " s past its deadline");
        break;
    }
    return false;
}

void PlayWatch::Fail(PlayOutcome outcome, std::string error)
{
    if (!m_report.error.empty())
        return;  // the first failure is the cause; closing may fail after it
    m_report.outcome = outcome;
    m_report.error = std::move(error);
}
