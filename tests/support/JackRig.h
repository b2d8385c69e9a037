// A private JACK server and a real receiving client for end-to-end tests;
// this process and its children never touch a user's server.
#pragma once

#include "PrivateShm.h"
#include "Process.h"
#include "ThreadActivity.h"

#if QWD_WITH_JACK
#include <jack/jack.h>
#include <jack/midiport.h>
#endif

#include <atomic>
#include <cstdint>
#include <memory>
#include <sstream>

// Points this process and its children at server `name`, never starting one.
inline void UseJackServer(const std::string& name)
{
    ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
}

inline std::string UniqueJackServerName()
{
    static std::atomic<int> counter{0};
    return "qwd-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// Fails while the server is not up, or after 5 s stuck on a busy machine.
inline ProcessResult ListJackPorts(const std::string& name)
{
    return RunProcess({"/usr/bin/jack_lsp", "-s", name}, std::chrono::seconds(5));
}

class PrivateJackServer
{
public:
    // Up once clients can connect. Long periods: without realtime scheduling,
    // a client starved for a short one loses that cycle's events.
    explicit PrivateJackServer(const std::string& logPath, const std::vector<std::string>& extra = {},
                               const std::string& name = "", int periodFrames = 1024)
        : m_name(name.empty() ? UniqueJackServerName() : name), m_extra(extra), m_period(periodFrames)
    {
        // A test that forgot SKIP_WITHOUT_PRIVATE_SHM() fails here, before
        // touching the machine's JACK.
        if (const std::string why = NoPrivateShm(); !why.empty())
            throw std::runtime_error("jackd is started only in a /dev/shm of its own: " + why);
        UseJackServer(m_name);
        m_jackd = Launch(logPath);
    }
    ~PrivateJackServer()
    {
        Stop();
        // Clients still open when their server went leave semaphore files.
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
            const std::string file = entry.path().filename().string();
            if (file.rfind("jack_sem.", 0) == 0 && file.find("_" + m_name + "_") != std::string::npos)
                std::filesystem::remove(entry.path(), ignored);
        }
    }

    const std::string& name() const { return m_name; }
    // JACK's registry has a few server slots; one that dies by a signal (even
    // SIGPIPE while stopping) keeps its slot until a server of its name
    // starts and stops cleanly.
    bool Stop(std::chrono::milliseconds grace = std::chrono::seconds(10))
    {
        Thaw();
        const bool stopped = m_jackd->Stop(SIGTERM, grace);
        if (!m_slotChecked && WIFSIGNALED(m_jackd->waitStatus())) {
            try {
                Launch("/dev/null")->Stop();
            } catch (const std::exception&) {  // best effort: only the last slot matters
            }
        }
        m_slotChecked = true;
        return stopped;
    }
    void Kill() { m_jackd->Stop(SIGKILL); }  // a crash: no goodbye to its clients
    void Freeze() { m_jackd->Signal(SIGSTOP); }
    void Thaw() { m_jackd->Signal(SIGCONT); }

    static constexpr int kSampleRate = 48000;

private:
    std::unique_ptr<BackgroundProcess> Launch(const std::string& logPath) const
    {
        std::vector<std::string> argv{"/usr/bin/jackd", "-n", m_name};
        argv.insert(argv.end(), m_extra.begin(), m_extra.end());
        for (const char* arg : {"--no-realtime", "--port-max", "64", "-d", "dummy", "-r", "48000", "-p"})
            argv.push_back(arg);
        argv.push_back(std::to_string(m_period));
        auto jackd = std::make_unique<BackgroundProcess>(argv, logPath, logPath);
        const auto upOrGone = [&] { return !jackd->Running() || ListJackPorts(m_name).exitStatus == 0; };
        if (WaitUntil(upOrGone, std::chrono::seconds(20)) && jackd->Running())
            return jackd;
        // Its database held by a JACK process that died leaves it waiting for good.
        const std::string locked =
            jackd->Running() && ReadThreadActivity(jackd->pid(), jackd->pid()) == ThreadActivity::kWaitingOnLock
                ? "it waits on a lock: /dev/shm/jack_db-" + std::to_string(::getuid()) +
                      " looks locked by a JACK process that died; "
                : "";
        throw std::runtime_error("jackd did not come up: " + locked + ReadWholeFile(logPath));
    }

    std::string m_name;
    std::vector<std::string> m_extra;
    int m_period;
    std::unique_ptr<BackgroundProcess> m_jackd;
    bool m_slotChecked = false;
};

// jack_midi_dump as client `clientName` ("<clientName>:input").
class MidiDump
{
public:
    using EventList = std::vector<std::vector<std::uint8_t>>;

    // With `frameTimes`, events are stamped with the server's frame time.
    MidiDump(const PrivateJackServer& server, const std::string& logPath,
             const std::string& clientName = "midi-monitor", bool frameTimes = false)
        : m_logPath(logPath),
          m_process(frameTimes ? std::vector<std::string>{"/usr/bin/jack_midi_dump", "-a", clientName}
                               : std::vector<std::string>{"/usr/bin/jack_midi_dump", clientName},
                    logPath, "", SIGINT)
    {
        const std::string port = "\n" + clientName + ":input\n";
        if (!WaitUntil([&] { return ("\n" + ListJackPorts(server.name()).out).find(port) != std::string::npos; },
                       std::chrono::seconds(20)))
            throw std::runtime_error("jack_midi_dump did not register its port");
    }
    ~MidiDump() { Stop(); }
    void Stop() { m_process.Stop(SIGINT); }  // lets it close its client: the server needn't wait

    // Lines read "   0: f0 01 ... f7": the frame offset or time, the bytes.
    EventList Events(std::vector<long>* times = nullptr) const
    {
        EventList events;
        std::istringstream lines(ReadWholeFile(m_logPath));
        for (std::string line; std::getline(lines, line);) {
            if (line.find(':') == std::string::npos)
                continue;
            std::istringstream bytes(line.substr(line.find(':') + 1));
            events.emplace_back();
            for (std::string hex; bytes >> hex;)
                events.back().push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
            if (times)
                times->push_back(std::stol(line));
        }
        return events;
    }
    std::vector<long> FrameTimes() const
    {
        std::vector<long> times;
        Events(&times);
        return times;
    }
    bool WaitForEvents(std::size_t count, std::chrono::milliseconds timeout) const
    {
        return WaitUntil([&] { return Events().size() >= count; }, timeout);
    }

private:
    std::string m_logPath;
    BackgroundProcess m_process;
};

#if QWD_WITH_JACK
// A JACK client of the test's own: its port NAME:out plays the given
// events, one a cycle, as a synth's dump might arrive, or in a burst, as
// many to a cycle as fit.
class JackSender
{
public:
    explicit JackSender(const std::string& name)
        : m_client(jack_client_open(name.c_str(), JackNoStartServer, nullptr)),
          m_port(jack_port_register(m_client, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0))
    {
        jack_set_process_callback(m_client, &JackSender::Process, this);
        jack_activate(m_client);
    }
    ~JackSender() { jack_client_close(m_client); }

    void Play(std::vector<std::vector<std::uint8_t>> events, bool burst = false)
    {
        m_events = std::move(events);
        m_burst = burst;
        m_next.store(0);
    }
    bool Done() const { return m_next.load() == m_events.size(); }

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        auto* sender = static_cast<JackSender*>(self);
        void* buffer = jack_port_get_buffer(sender->m_port, frames);
        jack_midi_clear_buffer(buffer);
        for (std::size_t next = sender->m_next.load(); next < sender->m_events.size(); ++next) {
            const auto& event = sender->m_events[next];
            jack_midi_data_t* room = jack_midi_event_reserve(buffer, 0, event.size());
            if (room == nullptr)
                break;
            std::copy(event.begin(), event.end(), room);
            sender->m_next.store(next + 1);
            if (!sender->m_burst)
                break;
        }
        return 0;
    }

    jack_client_t* m_client;
    jack_port_t* m_port;
    std::vector<std::vector<std::uint8_t>> m_events;
    bool m_burst = false;
    std::atomic<std::size_t> m_next{SIZE_MAX};
};
#endif
