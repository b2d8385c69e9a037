// Key to sound over a private JACK server (dummy driver, 48 kHz): one client
// writes note-ons at known frames, random within their periods, another
// records what qwdump play --midi-in sounds. The figure is the frames from a
// note-on to the first sample above -60 dBFS, median and maximum, at 64, 256
// and 1,024 frames per period. Goal: at most 48 frames (1 ms) at each.
//
// Then polyphony and release: two keys held, one released, the other goes on
// at its level; both released, silence within the release and one period.
//
//   keyboard_latency_bench [NOTES] [LABEL]     (default 200; run under
//   tests/support/private-shm.sh; bench/keyboard-latency.sh runs it before and
//   after)

#include "JackRig.h"
#include "KeyboardRig.h"
#include "TempDir.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kRate = PrivateJackServer::kSampleRate;
constexpr float kMinus60Db = 0.001f;
constexpr jack_nframes_t kRelease = 240;  // the instrument's 5 ms

std::vector<std::uint8_t> Note(int key, int velocity)
{
    return {0x90, static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(velocity)};
}

bool Measure(int period, int notes, const std::string& label)
{
    TempDir dir;
    PrivateJackServer server(dir.File("jackd.log"), {}, "", period);
    // 100 ms: each note sounds 20 ms and dies away, and the search for the
    // next starts a release and a period past its note-off; however far
    // apart in their periods two notes fall, that is before the next note-on.
    const jack_nframes_t spacing = 4800;
    const double seconds = 4 + notes * spacing / kRate + 2;
    JackRecorder recorder("recorder", seconds + 20);
    JackKeyboard keys("keys");
    const std::string out = dir.File("play.out");
    BackgroundProcess play({QWDUMP_PATH, "play", EXAMPLE_WAVE, "--midi-in", "keys:out", "--port", "recorder:in"}, out,
                           out);
    if (!WaitUntil([&] { return ReadWholeFile(out).find("Playing") != std::string::npos; }, std::chrono::seconds(20))) {
        std::fprintf(stderr, "qwdump play did not start: %s\n", ReadWholeFile(out).c_str());
        return false;
    }

    const jack_nframes_t base = (keys.Now() / period + 24000 / period + 1) * period;
    std::mt19937 random(static_cast<unsigned>(period));
    std::uniform_int_distribution<jack_nframes_t> offset(0, period - 1);
    std::vector<TimedMessage> messages;
    std::vector<jack_nframes_t> ons;  // messages 2i and 2i + 1: note i's on and off
    for (int i = 0; i < notes; ++i) {
        const jack_nframes_t on = base + i * spacing + offset(random);
        ons.push_back(on);
        messages.push_back({on, Note(69, 127)});
        messages.push_back({on + 960, Note(69, 0)});
    }
    // A3 and A4 held; A4 released after 0.2 s, A3 after 0.4 s.
    const jack_nframes_t both = base + notes * spacing;
    const jack_nframes_t firstOff = both + 9600, lastOff = both + 19200 + offset(random);
    messages.push_back({both, Note(57, 100)});
    messages.push_back({both, Note(69, 100)});
    messages.push_back({firstOff, Note(69, 0)});
    messages.push_back({lastOff, Note(57, 0)});
    keys.Play(messages);
    const jack_nframes_t end = lastOff + 9600;
    WaitUntil([&] { return recorder.Reached(end); }, std::chrono::seconds(static_cast<int>(seconds) + 30));
    play.Signal(SIGTERM);
    play.Wait();

    // From the frame each note-on went out at (a keyboard period that came
    // late writes it at the start of the next), searched from the frame the
    // note before had died away (a period after its release, should its
    // note-off have waited for one).
    // A note near an xrun is left out: a period its messages or its sound
    // were in may have been skipped.
    std::vector<long> delays;
    for (std::size_t i = 0; i < ons.size(); ++i) {
        const jack_nframes_t on = keys.WrittenAt(2 * i);
        const jack_nframes_t from = i == 0 ? on - spacing / 2 : keys.WrittenAt(2 * i - 1) + kRelease + period;
        if (recorder.XrunBetween(from - 2 * period, on + spacing / 2 + 2 * period))
            continue;
        delays.push_back(static_cast<long>(recorder.FirstAbove(from, on + spacing / 2, kMinus60Db)) -
                         static_cast<long>(on));
    }
    std::sort(delays.begin(), delays.end());
    const double before = recorder.Amplitude(220, both + 2400, both + 7200);
    const double after = recorder.Amplitude(220, firstOff + 2400, firstOff + 7200);
    const double released = recorder.Amplitude(440, firstOff + 2400, firstOff + 7200);
    jack_nframes_t lastSound = lastOff;
    for (jack_nframes_t frame = lastOff; frame != end; ++frame)
        if (recorder.At(frame) != 0.0f)
            lastSound = frame + 1;
    std::printf(
        "%s period %d frames (%.2f ms): key to sound median %ld frames (%.3f ms), min %ld, max %ld "
        "(%zu of %d notes, %u xruns, %u written late); two keys, one released: the other at %.3f of its level, the "
        "released one at %.1f dB of it; both released: silent %u frames after the last note-off "
        "(release %u + period %d = %u)\n",
        label.c_str(), period, 1e3 * period / kRate, delays[delays.size() / 2], 1e3 * delays[delays.size() / 2] / kRate,
        delays.front(), delays.back(), delays.size(), notes, recorder.Xruns(), keys.Late(), after / before,
        20 * std::log10(std::max(released, 1e-12) / before), lastSound - lastOff, kRelease, period, kRelease + period);
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    const int notes = argc > 1 ? std::atoi(argv[1]) : 200;
    const std::string label = argc > 2 ? argv[2] : "after:";
    bool ok = true;
    for (const int period : {64, 256, 1024})
        ok = Measure(period, notes, label) && ok;
    return ok ? 0 : 1;
}
