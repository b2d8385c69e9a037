// What the JACK and ALSA outputs share: the watching thread's side of a
// preview. It builds the oscillator for the output's rate, passes a stop
// request on, makes each call into the system on the request's lane within
// its deadline and turns a verdict into the reason the user reads.
#pragma once

#include "Instrument.h"
#include "Oscillator.h"
#include "WavePlay.h"

#include <memory>
#include <string>

using AudioClock = LaneClock;

// How long a call into an audio system, or a period, may take before the
// lane's thread is looked at: as long as a MIDI system gets.
inline constexpr std::chrono::seconds kAnswerWithin{1};

class PlayWatch
{
public:
    PlayWatch(const PlayRequest& request, const std::function<void(const PlayReport&)>& started, PlayReport& report)
        : m_request(request), m_started(started), m_report(report)
    {
    }

    const PlayRequest& Request() const { return m_request; }
    PlayReport& Report() { return m_report; }

    // The oscillator for `sampleRate`, noted in the report; with a MIDI
    // source, the instrument instead, and `instrument` points at it.
    std::unique_ptr<PlaySource> MakeSource(unsigned sampleRate, Instrument*& instrument);
    void Started() const;

    // Sleeps until `until` at most, or until a call on the lane returns; a
    // stop request seen meanwhile is passed on to `oscillator` (when there
    // is one yet).
    void Sleep(AudioClock::time_point until, PlaySource* oscillator = nullptr);
    bool StopAsked() const { return m_stopAsked; }

    // Whether the system's library keeps its locks to itself (JudgeOverdue).
    void SetPrivateLocks(bool privateLocks) { m_privateLocks = privateLocks; }

    // Runs `call` on the lane and waits for it within kAnswerWithin. On a
    // verdict other than kDone the call is left to the lane, and the report
    // says what `system` did not do in `callName`; returns false.
    bool Call(const std::string& system, const std::string& callName, std::function<void()> call);
    // The same for a call that runs as long as `oscillator` keeps rendering.
    bool Stream(const std::string& system, const std::string& callName, std::function<void()> call,
                PlaySource& oscillator);

    // Notes a failure; only the first one counts.
    void Fail(PlayOutcome outcome, std::string error);

private:
    std::unique_ptr<Oscillator> MakeOscillator(unsigned sampleRate);
    std::unique_ptr<Instrument> MakeInstrument(unsigned sampleRate);
    bool Await(const Lane::Call& call, const std::function<AudioClock::time_point()>& deadline, PlaySource* oscillator,
               const std::string& system, const std::string& callName);

    const PlayRequest& m_request;
    const std::function<void(const PlayReport&)>& m_started;
    PlayReport& m_report;
    bool m_stopAsked = false;
    bool m_privateLocks = false;
};
