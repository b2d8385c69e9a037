#include "JackRig.h"

#include "Process.h"
#include "TempDir.h"

#include <unistd.h>

#include <atomic>
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
    : m_name(name.empty() ? UniqueJackServerName() : name)
{
    UseJackServer(m_name);
    std::vector<std::string> argv{"jackd", "-n", m_name};
    argv.insert(argv.end(), extra.begin(), extra.end());
    for (const char* arg : {"--no-realtime", "--port-max", "64", "-d", "dummy", "-r", "48000", "-p", "256"})
        argv.push_back(arg);
    m_jackd = std::make_unique<BackgroundProcess>(argv, logPath, logPath);

    // Ready in about 0.1 s on an idle machine; a busy one gets more time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (RunProcess({"/usr/bin/jack_lsp"}).exitStatus != 0) {
        if (!m_jackd->Running())
            throw std::runtime_error("jackd exited: " + ReadWholeFile(logPath));
        if (std::chrono::steady_clock::now() >= deadline)
            throw std::runtime_error("jackd did not come up: " + ReadWholeFile(logPath));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
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
    return m_jackd->Stop(SIGTERM, grace);
}

void PrivateJackServer::Kill()
{
    m_jackd->Stop(SIGKILL);
}

std::vector<std::string> PrivateJackServer::Ports() const
{
    return Lines(RunProcess({"/usr/bin/jack_lsp"}).out);
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
      m_process(std::make_unique<BackgroundProcess>(std::vector<std::string>{"jack_midi_dump", clientName}, logPath))
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
