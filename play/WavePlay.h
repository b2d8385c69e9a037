// The audio preview module: plays 128-sample waves looped as an oscillator,
// through JACK when a server runs, otherwise through ALSA's default PCM
// device. qwdump play and the window's Play open it on first use (dlopen),
// so nothing else ever loads libjack's or libasound's audio side. This
// header is all its users see of it.
#pragma once

#include "Lane.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using PlayWave = std::array<std::int16_t, 128>;

struct PlayRequest
{
    std::vector<PlayWave> waves;  // played in turn, each faded in and out
    double frequency = 130.8128;  // Hz; C3
    double gainDb = -12.0;
    double secondsEach = 2.0;  // 0: until stopped
    std::string jackPort;      // a JACK audio input to play to; "" for the system's playback ports
    std::string clientName = "qwdump";
    // A MIDI source to play the waves from, as an instrument, until stopped:
    // its address, a JACK MIDI output port ("keyboard:out") or an ALSA
    // sequencer port ("20:0"). "" plays each wave in turn at `frequency`.
    std::string midiIn;
    std::vector<int> waveNumbers;  // of `waves`, for program changes; none for a single wave
    // Either ends the play at its next period, faded out: the atomic set, or
    // the descriptor readable (TerminationFd()).
    const std::atomic<bool>* stop = nullptr;
    int stopFd = -1;
    // The program's lane for the calls into libjack or libasound, which
    // the program gives up once the play has ended (PlayWaves).
    Lane* lane = nullptr;
};

enum class PlayOutcome {
    kPlayed,      // to the end, or until stopped
    kNoOutput,    // neither a JACK server nor ALSA's default device
    kNoPort,      // jackPort is not a JACK audio input, or there is no JACK server for it; or midiIn can't be read
    kFailed,      // the system refused, went away or stopped answering
    kSourceGone,  // midiIn went away while it played: its notes were released, faded
};

struct PlayReport
{
    PlayOutcome outcome = PlayOutcome::kFailed;
    std::string error;   // why, when not played: the failing call and its reason
    std::string output;  // where it went: "JACK (system:playback_1, system:playback_2)", "ALSA default"
    unsigned sampleRate = 0;
    unsigned periodFrames = 0;
    int harmonicsKept = 0;               // of the wave's 64, those below half the sample rate
    double limitedDb = 0;                // 0, or how far the loudest wave was scaled down to stay within full scale
    double worstPeriodSeconds = 0;       // the longest the audio callback took for one period
    unsigned underruns = 0;              // times the device ran dry: gaps in the sound (ALSA)
    double worstEventWaitSeconds = 0;    // an ALSA sequencer source's: the longest an event waited for its period
    double worstEventPeriodSeconds = 0;  // the longest between the periods that took them, as the device woke us
    double worstEventMissedSeconds = 0;  // the longest one waited past the first period after its arrival
};

// Plays `request` on the calling thread's watch and returns when it has
// ended. `started` (may be empty) is called once the output is open and
// connected, before the first sound.
extern "C" void QwdPlayWaves(const PlayRequest& request, const std::function<void(const PlayReport&)>& started,
                             PlayReport& report);

inline constexpr char kPlayWavesEntry[] = "QwdPlayWaves";
using PlayWavesFn = decltype(&QwdPlayWaves);

// While a play runs in this process, its wave becomes `wave` (`count`
// samples, 128) from the audio system's next period on; the band-limited
// table is built on the calling thread. False when nothing plays.
extern "C" bool QwdChangePlayingWave(const std::int16_t* wave, std::size_t count);

inline constexpr char kChangePlayingWaveEntry[] = "QwdChangePlayingWave";
using ChangePlayingWaveFn = decltype(&QwdChangePlayingWave);

// While a play from a MIDI source runs in this process, the keys held down
// on it; -1 when none runs.
extern "C" int QwdPlayingKeysHeld();

inline constexpr char kPlayingKeysHeldEntry[] = "QwdPlayingKeysHeld";
using PlayingKeysHeldFn = decltype(&QwdPlayingKeysHeld);
