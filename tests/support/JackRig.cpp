#include "JackRig.h"

#include "Process.h"
#include "TempDir.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
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
                                     const std::string& name)
    : m_name(name.empty() ? UniqueJackServerName() : name), m_extra(extra)
{
    UseJackServer(m_name);
    m_jackd = Launch(logPath);
}

// Starts jackd and waits until clients can connect: about 0.1 s on an idle
// machine, a busy one gets more time.
std::unique_ptr<BackgroundProcess> PrivateJackServer::Launch(const std::string& logPath) const
{
    std::vector<std::string> argv{"jackd", "-n", m_name};
    argv.insert(argv.end(), m_extra.begin(), m_extra.end());
    for (const char* arg : {"--no-realtime", "--port-max", "64", "-d", "dummy", "-r", "48000", "-p", "256"})
        argv.push_back(arg);
    auto jackd = std::make_unique<BackgroundProcess>(argv, logPath, logPath);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (RunProcess({"/usr/bin/jack_lsp", "-s", m_name}).exitStatus != 0) {
        if (!jackd->Running())
            throw std::runtime_error("jackd exited: " + ReadWholeFile(logPath));
        if (std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("jackd did not come up: " + ReadWholeFile(logPath));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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

bool PrivateJackServer::Stop(std::chrono::milliseconds grace)
{
    const bool stopped = m_jackd->Stop(SIGTERM, grace);
    if (!m_slotChecked) {
        m_slotChecked = true;
        ReclaimSlot();
    }
    return stopped;
}

void PrivateJackServer::Kill()
{
    m_jackd->Stop(SIGKILL);
}

// JACK keeps a registry of running servers with only a few slots. A server
// that dies by a signal keeps its slot, and only a server of the same name
// frees it, by starting and stopping cleanly. jackd can die so even when
// asked to stop: it is killed by SIGPIPE when a client closes its socket
// while the server is still telling clients that it stops.
void PrivateJackServer::ReclaimSlot()
{
    const int status = m_jackd->waitStatus();
    if (status == -1 || !WIFSIGNALED(status))
        return;
    try {
        TempDir dir;
        auto jackd = Launch(dir.File("reclaim.log"));
        jackd->Stop(SIGTERM);
    } catch (const std::exception&) {
        // Best effort: a leaked slot only matters once all are gone.
    }
}

std::vector<std::string> PrivateJackServer::Ports() const
{
    return Lines(RunProcess({"/usr/bin/jack_lsp", "-s", m_name}).out);
}

bool PrivateJackServer::WaitForPort(const std::string& fullName, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        for (const std::string& port : Ports())
            if (port == fullName)
                return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

MidiDump::MidiDump(const PrivateJackServer& server, const std::string& logPath, const std::string& clientName)
    : m_logPath(logPath),
      m_process(std::make_unique<BackgroundProcess>(std::vector<std::string>{"jack_midi_dump", clientName}, logPath,
                                                    "", SIGINT))
{
    if (!server.WaitForPort(clientName + ":input", std::chrono::seconds(20)))
        throw std::runtime_error("jack_midi_dump did not register its port");
}

MidiDump::~MidiDump()
{
    Stop();
}

void MidiDump::Stop()
{
    m_process->Stop(SIGINT);
}

// A line reads "   0: f0 01 ... f7": the frame offset, then the bytes in hex.
std::vector<std::vector<std::uint8_t>> MidiDump::Events() const
{
    std::vector<std::vector<std::uint8_t>> events;
    for (const std::string& line : Lines(ReadWholeFile(m_logPath))) {
        const auto colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::istringstream bytes(line.substr(colon + 1));
        std::vector<std::uint8_t> event;
        for (std::string hex; bytes >> hex;)
            event.push_back(static_cast<std::uint8_t>(std::stoul(hex, nullptr, 16)));
        events.push_back(event);
    }
    return events;
}

bool MidiDump::WaitForEvents(std::size_t count, std::chrono::milliseconds timeout) const
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (Events().size() < count) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
