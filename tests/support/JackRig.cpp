#include "JackRig.h"

#include "TempDir.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <stdexcept>

namespace {

// The full names of server `name`'s ports, a line each; fails while the
// server is not up. On a loaded machine jack_lsp can get stuck while a
// client registers: it is then stopped, and the caller asks again.
ProcessResult ListPorts(const std::string& name)
{
    return RunProcess({"/usr/bin/jack_lsp", "-s", name}, std::chrono::seconds(5));
}

}  // namespace

void UseJackServer(const std::string& name)
{
    ::setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
    ::setenv("JACK_NO_START_SERVER", "1", 1);
}

std::string UniqueJackServerName()
{
    static std::atomic<int> counter{0};
    return "qwd-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

PrivateJackServer::PrivateJackServer(const std::string& logPath, const std::vector<std::string>& extra,
                                     const std::string& name, int periodFrames)
    : m_name(name.empty() ? UniqueJackServerName() : name), m_extra(extra), m_periodFrames(periodFrames)
{
    UseJackServer(m_name);
    m_jackd = Launch(logPath);
}

// About 0.1 s on an idle machine; a busy one gets more time.
std::unique_ptr<BackgroundProcess> PrivateJackServer::Launch(const std::string& logPath) const
{
    std::vector<std::string> argv{"/usr/bin/jackd", "-n", m_name};
    argv.insert(argv.end(), m_extra.begin(), m_extra.end());
    for (const char* arg : {"--no-realtime", "--port-max", "64", "-d", "dummy", "-r", "48000", "-p"})
        argv.push_back(arg);
    argv.push_back(std::to_string(m_periodFrames));
    auto jackd = std::make_unique<BackgroundProcess>(argv, logPath, logPath);
    const auto upOrGone = [&] { return !jackd->Running() || ListPorts(m_name).exitStatus == 0; };
    if (!WaitUntil(upOrGone, std::chrono::seconds(20)) || !jackd->Running())
        throw std::runtime_error("jackd did not come up: " + ReadWholeFile(logPath));
    return jackd;
}

PrivateJackServer::~PrivateJackServer()
{
    Stop();
    // A client still open when its server went leaves its semaphore file
    // ("jack_sem.<uid>_<server>_<client>") behind; these are ours alone.
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ignored)) {
        const std::string file = entry.path().filename().string();
        if (file.rfind("jack_sem.", 0) == 0 && file.find("_" + m_name + "_") != std::string::npos)
            std::filesystem::remove(entry.path(), ignored);
    }
}

// JACK keeps a registry of running servers with only a few slots. A server
// that dies by a signal keeps its slot, and only a server of the same name
// frees it, by starting and stopping cleanly. jackd can die so even when
// asked to stop: it is killed by SIGPIPE when a client closes its socket
// while the server is still telling clients that it stops.
bool PrivateJackServer::Stop(std::chrono::milliseconds grace)
{
    Thaw();
    const bool stopped = m_jackd->Stop(SIGTERM, grace);
    if (!m_slotChecked && WIFSIGNALED(m_jackd->waitStatus())) {
        try {
            TempDir dir;
            Launch(dir.File("reclaim.log"))->Stop();
        } catch (const std::exception&) {
            // Best effort: a leaked slot only matters once all are gone.
        }
    }
    m_slotChecked = true;
    return stopped;
}

MidiDump::MidiDump(const PrivateJackServer& server, const std::string& logPath, const std::string& clientName,
                   bool frameTimes)
    : m_logPath(logPath),
      m_process(frameTimes ? std::vector<std::string>{"/usr/bin/jack_midi_dump", "-a", clientName}
                           : std::vector<std::string>{"/usr/bin/jack_midi_dump", clientName},
                logPath, "", SIGINT)
{
    const std::string port = "\n" + clientName + ":input\n";
    if (!WaitUntil([&] { return ("\n" + ListPorts(server.name()).out).find(port) != std::string::npos; },
                   std::chrono::seconds(20)))
        throw std::runtime_error("jack_midi_dump did not register its port");
}

// A line reads "   0: f0 01 ... f7": the frame offset (or the frame time),
// then the bytes in hex.
MidiDump::EventList MidiDump::Events() const
{
    EventList events;
    std::istringstream lines(ReadWholeFile(m_logPath));
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::istringstream bytes(line.substr(colon + 1));
        events.emplace_back();
        for (std::string hex; bytes >> hex;)
            events.back().push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
    }
    return events;
}

std::vector<long> MidiDump::FrameTimes() const
{
    std::vector<long> times;
    std::istringstream lines(ReadWholeFile(m_logPath));
    for (std::string line; std::getline(lines, line);) {
        if (line.find(':') != std::string::npos)
            times.push_back(std::stol(line));
    }
    return times;
}
