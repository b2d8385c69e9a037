// Latency of a wave dump send over JACK: from MIDISendSysex to the moment a
// receiving JACK client has the whole 300-byte message, in JACK periods.
// Target: at most one period (a DIN cable would need 96 ms for the bytes
// alone, 18 periods of 256 frames at 48 kHz).
//
// Starts its own private jackd (dummy driver, 48 kHz, 256-frame periods)
// and a receiving client in this process, then sends through the MIDI
// service's JACK backend at random moments within the period.
//
//   jack_latency_bench [SENDS]      (default 200)

#include "DestinationDirectory.h"
#include "JackBackend.h"
#include "JackRig.h"
#include "MidiService.h"
#include "TempDir.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kMessageBytes = 300;
constexpr int kPeriodFrames = 256;  // a usual low-latency setting
constexpr double kPeriodSeconds = static_cast<double>(kPeriodFrames) / PrivateJackServer::kSampleRate;

std::int64_t Now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// The receiving client: notes when a whole message has arrived.
struct Receiver
{
    jack_client_t* client = nullptr;
    jack_port_t* input = nullptr;
    std::atomic<std::int64_t> arrivedAt{0};      // steady clock, ns
    std::atomic<std::uint32_t> arrivedFrame{0};  // JACK frame time of that cycle's start
    std::atomic<std::uint32_t> badEvents{0};

    static int Process(jack_nframes_t frames, void* arg)
    {
        auto* self = static_cast<Receiver*>(arg);
        void* buffer = jack_port_get_buffer(self->input, frames);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event;
            if (jack_midi_event_get(&event, buffer, i) != 0)
                continue;
            if (event.size == kMessageBytes && event.buffer[0] == 0xF0 && event.buffer[kMessageBytes - 1] == 0xF7) {
                self->arrivedFrame.store(jack_last_frame_time(self->client));
                self->arrivedAt.store(Now());
            } else {
                self->badEvents.fetch_add(1);
            }
        }
        return 0;
    }
};

std::atomic<int> g_completed{0};
std::atomic<int> g_delivered{0};
void Done(MIDISysexSendRequest* request)
{
    if (request->complete)
        g_delivered.fetch_add(1);
    g_completed.fetch_add(1);
}

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[at];
}

void Report(const char* what, const std::vector<double>& periods)
{
    std::printf("%-28s min %5.2f  median %5.2f  p90 %5.2f  p99 %5.2f  max %5.2f periods"
                "  (median %.2f ms)\n",
                what, Percentile(periods, 0), Percentile(periods, 0.5), Percentile(periods, 0.9),
                Percentile(periods, 0.99), Percentile(periods, 1), Percentile(periods, 0.5) * kPeriodSeconds * 1e3);
}

}  // namespace

int main(int argc, char** argv)
{
    const int sends = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    TempDir dir;
    PrivateJackServer server(dir.File("jackd.log"), {}, "", kPeriodFrames);

    Receiver receiver;
    receiver.client = jack_client_open("bench-receiver", JackNoStartServer, nullptr);
    if (receiver.client == nullptr) {
        std::fprintf(stderr, "jack_latency_bench: cannot open the receiving client\n");
        return 1;
    }
    receiver.input = jack_port_register(receiver.client, "input", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(receiver.client, &Receiver::Process, &receiver);
    jack_activate(receiver.client);

    MIDIServiceUseSystems({{"JACK server", [] { return std::make_unique<JackBackend>("qwd-bench"); }}});
    const MIDIEndpointRef endpoint = FindMIDIPortByTitle(std::string("input (bench-receiver)"));
    if (endpoint == 0) {
        std::fprintf(stderr, "jack_latency_bench: the receiver is not listed\n");
        return 1;
    }

    std::uint8_t message[kMessageBytes] = {};
    message[0] = 0xF0;
    message[kMessageBytes - 1] = 0xF7;
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> phase(0, static_cast<int>(kPeriodSeconds * 2e6));

    std::vector<double> arrival;      // MIDISendSysex -> receiver has it, wall clock
    std::vector<double> arrivalJack;  // the same in JACK frames (cycle starts)
    std::vector<double> completion;   // MIDISendSysex -> completion procedure called
    double first = 0;
    int lost = 0;
    for (int i = 0; i <= sends; ++i) {
        std::this_thread::sleep_for(std::chrono::microseconds(phase(random)));
        receiver.arrivedAt.store(0);
        const int completedBefore = g_completed.load();
        MIDISysexSendRequest request{endpoint, message, kMessageBytes, 0, {0, 0, 0}, Done, nullptr, 0};
        const std::uint32_t sentFrame = jack_frame_time(receiver.client);
        const std::int64_t sentAt = Now();
        const OSStatus status = MIDISendSysex(&request);
        std::int64_t completedAt = 0;
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while ((receiver.arrivedAt.load() == 0 || completedAt == 0) && Clock::now() < deadline) {
            if (completedAt == 0 && g_completed.load() != completedBefore)
                completedAt = Now();
            std::this_thread::sleep_for(std::chrono::microseconds(20));
        }
        if (completedAt == 0) {
            // Never reported: the request would be used after this scope.
            std::fprintf(stderr, "jack_latency_bench: send %d did not complete (status %d)\n", i, status);
            return 1;
        }
        const std::int64_t arrivedAt = receiver.arrivedAt.load();
        if (status != noErr || arrivedAt == 0) {
            ++lost;
            continue;
        }
        const double periods = static_cast<double>(arrivedAt - sentAt) * 1e-9 / kPeriodSeconds;
        if (i == 0) {
            first = periods;  // registers and connects the port: not steady state
            continue;
        }
        arrival.push_back(periods);
        arrivalJack.push_back(static_cast<double>(static_cast<std::int32_t>(receiver.arrivedFrame.load() - sentFrame)) /
                              kPeriodFrames);
        completion.push_back(static_cast<double>(completedAt - sentAt) * 1e-9 / kPeriodSeconds);
    }

    MIDIServiceShutDown();
    jack_client_close(receiver.client);

    std::printf("JACK dummy driver, %d Hz, %d frames a period (%.3f ms); %d sends of %u bytes\n",
                PrivateJackServer::kSampleRate, kPeriodFrames, kPeriodSeconds * 1e3, sends, kMessageBytes);
    std::printf("first send (registers and connects its port): %.2f periods\n", first);
    if (arrival.empty()) {
        std::printf("no message arrived\n");
        return 1;
    }
    Report("send -> received (clock)", arrival);
    Report("send -> received (frames)", arrivalJack);
    Report("send -> completion called", completion);
    const auto late = std::count_if(arrival.begin(), arrival.end(), [](double p) { return p > 1.0; });
    std::printf("target: received within 1 period; %zu of %zu were later; %d lost, %u stray events;"
                " %d of %d completed as delivered\n",
                static_cast<std::size_t>(late), arrival.size(), lost, receiver.badEvents.load(), g_delivered.load(),
                g_completed.load());
    // A late cycle (an xrun) on a busy machine can delay or drop an event.
    const std::string log = ReadWholeFile(dir.File("jackd.log"));
    std::size_t xruns = 0;
    for (std::size_t at = log.find("XRun"); at != std::string::npos; at = log.find("XRun", at + 1))
        ++xruns;
    std::printf("xruns reported by jackd during the run: %zu\n", xruns);
    std::printf("for comparison, a DIN MIDI cable needs 96 ms (%.1f periods) for 300 bytes\n", 0.096 / kPeriodSeconds);
    return 0;
}
