// qwdump receive --port SOURCE [-o OUT.syx] [--count N] [--idle S] [--wait S]
// [--all]: collects the wave dump messages a MIDI source sends (a synth's
// dump of its waves) and writes them, in order of arrival, to a .syx file
// or as lines of hex. Everything collected is written whichever way the run
// ends: after N wave dumps, a quiet spell, Ctrl-C, SIGTERM or SIGHUP.

#include "Command.h"
#include "DestinationDirectory.h"
#include "ExitStatus.h"
#include "MidiService.h"
#include "NumberOption.h"
#include "PrintableText.h"
#include "StandardOutput.h"
#include "SysexStream.h"
#include "SyxFile.h"
#include "Termination.h"
#include "WaveDump.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// How often the source is looked for while nothing arrives: it may go away.
constexpr std::chrono::seconds kLookForSource{1};

// Whole messages and notices from the source's lane, for the main thread.
class Inbox : public SysexStream::Listener
{
public:
    Inbox() : m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
    ~Inbox() override { ::close(m_wake); }

    // A whole message, or (empty) a drop that `dropped` explains.
    struct Item
    {
        std::vector<std::uint8_t> message;
        std::string dropped;
    };

    void Message(const std::vector<std::uint8_t>& message) override { Put({message, ""}); }
    void Dropped(const std::string& why) override { Put({{}, why}); }
    // The next item; false when there is none.
    bool Take(Item& item)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        return true;
    }
    int WakeFd() const { return m_wake; }

private:
    void Put(Item item)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_items.push_back(std::move(item));
        ::eventfd_write(m_wake, 1);
    }

    const int m_wake;
    std::mutex m_mutex;
    std::deque<Item> m_items;
};

Clock::time_point SecondsFromNow(double seconds)
{
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// The lane feeds the stream; both live as long as the lane may call them.
struct Listening
{
    SysexStream stream;
    Inbox inbox;
};

class ReceiveCommand : public Command
{
public:
    explicit ReceiveCommand(CLI::App& app)
        : Command(app.add_subcommand(
              "receive",
              "Collect the wave dump messages a MIDI source sends, for instance a synth's dump of its waves, "
              "and write them in order of arrival to a .syx file, or as lines of hex. It stops after --count "
              "wave dumps, --idle seconds after the last message, or on Ctrl-C, and writes what it has."))
    {
    }

    void AddOptions() override
    {
        m_subcommand
            ->add_option("--port,-p", m_port,
                         "Source: its exact title as 'qwdump ports --sources' lists it, or its address "
                         "(ALSA CLIENT:PORT such as 20:0, JACK client:port)")
            ->required();
        m_subcommand->add_option("--output,-o", m_output, "Write the messages to this .syx file")
            ->check([](const std::string& path) { return path.empty() ? std::string("no file name given") : ""; });
        m_subcommand->add_option("--count,-c", m_count, "Stop after this many wave dumps")
            ->transform(WholeNumberFrom(1, std::numeric_limits<int>::max(), ""));
        m_subcommand->add_option("--idle", m_idle, "Stop this many seconds after the last message")
            ->transform(NumberIn(0.1, 3600, "seconds"))
            ->capture_default_str();
        m_subcommand->add_option("--wait", m_wait, "Wait this many seconds for the first message")
            ->transform(NumberIn(0.1, 86400, "seconds"))
            ->capture_default_str();
        m_subcommand->add_flag("--all", m_all, "Keep other System Exclusive messages too");
    }

    int Run() override
    {
        const MIDIEndpointRef source = FindMIDIPortByTitleOrAddress(m_port, true);
        const std::string shown = EscapeControlCharacters(m_port);
        if (source == 0) {
            std::fprintf(stderr, "qwdump: no MIDI source titled '%s'; 'qwdump ports --sources' lists them\n",
                         shown.c_str());
            return kExitNoSuchPort;
        }
        auto listening = std::make_shared<Listening>();
        std::string reason;
        if (MIDIConnectSource(
                source, [listening](const std::uint8_t* bytes, std::size_t size) {
                    listening->stream.Feed(bytes, size, listening->inbox);
                },
                reason) != noErr) {
            std::fprintf(stderr, "qwdump: can't listen to %s: %s\n", shown.c_str(), reason.c_str());
            return kExitNoSuchPort;
        }
        const bool gone = Collect(source, listening->inbox);
        MIDIConnectSource(source, nullptr, reason);
        ClearCount();
        if (m_messages.empty()) {
            std::fprintf(stderr, "qwdump: %s from %s\n", gone ? "nothing arrived before it went away" : "nothing arrived",
                         shown.c_str());
            return gone ? kExitNoSuchPort : kExitFileError;
        }
        if (m_output.empty())
            for (const SysexMessage& message : m_messages)
                PrintHexLine(message);
        else if (!WriteSyxFile(m_output, m_messages))
            return kExitFileError;
        if (gone)
            std::fprintf(stderr, "qwdump: %s went away; what arrived before is written\n", shown.c_str());
        return FinishStandardOutput(gone ? kExitNoSuchPort : kExitOk);
    }

private:
    // Until a stop; true when the source went away.
    bool Collect(MIDIEndpointRef source, Inbox& inbox)
    {
        auto quietUntil = SecondsFromNow(m_wait);
        auto lookAt = Clock::now() + kLookForSource;
        pollfd ready[2] = {{inbox.WakeFd(), POLLIN, 0}, {TerminationFd(), POLLIN, 0}};
        while (TerminationSignal() == 0 && (m_count == 0 || m_waves < m_count)) {
            const auto now = Clock::now();
            if (now >= quietUntil)
                return false;
            if (now >= lookAt) {
                if (FindMIDIPortByTitleOrAddress(m_port, true) != source)
                    return true;
                lookAt = now + kLookForSource;
            }
            const auto until = std::min(quietUntil, lookAt);
            ::poll(ready, 2, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(until - now).count()));
            eventfd_t ignored;
            ::eventfd_read(inbox.WakeFd(), &ignored);
            Inbox::Item item;
            while ((m_count == 0 || m_waves < m_count) && inbox.Take(item)) {
                quietUntil = SecondsFromNow(m_idle);
                Take(item);
            }
        }
        return false;
    }

    // One message, or a drop: kept and said, or skipped with a notice.
    void Take(Inbox::Item& item)
    {
        std::vector<std::uint8_t>& message = item.message;
        std::size_t offset = 0;
        const bool wave = message.size() == WaveDump::kBytes && WaveDump::Check(message.data(), message.size(), offset).empty();
        ClearCount();
        if (message.empty())
            std::fprintf(stderr, "qwdump: dropped %s\n", item.dropped.c_str());
        else if (wave)
            Say("Received wave " + std::to_string(WaveDump::WaveNumberOf(message.data())));
        else if (m_all)
            Say("Received a " + std::to_string(message.size()) + "-byte System Exclusive message");
        else
            std::fprintf(stderr, "qwdump: skipped a %zu-byte System Exclusive message that is not a wave dump\n",
                         message.size());
        if (wave || (m_all && !message.empty()))
            m_messages.push_back(std::move(message));
        m_waves += wave ? 1 : 0;
        ShowCount();
    }

    // A line per message on stdout, as it arrives; on stderr when stdout
    // carries the messages themselves.
    void Say(const std::string& line) const
    {
        if (!m_output.empty()) {
            Print("%s\n", line.c_str());
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }

    // On a terminal, the count so far on a line of its own, redrawn.
    void ShowCount()
    {
        if (::isatty(STDERR_FILENO) == 1) {
            std::fprintf(stderr, "%d wave dump%s received\r", m_waves, m_waves == 1 ? "" : "s");
            std::fflush(stderr);
        }
    }
    static void ClearCount()
    {
        if (::isatty(STDERR_FILENO) == 1)
            std::fprintf(stderr, "\033[K");
    }

    std::string m_port;
    std::string m_output;
    int m_count = 0;
    double m_idle = 3.0;
    double m_wait = 60.0;
    bool m_all = false;
    int m_waves = 0;
    std::vector<SysexMessage> m_messages;
};

}  // namespace

std::unique_ptr<Command> AddReceiveCommand(CLI::App& app)
{
    return std::make_unique<ReceiveCommand>(app);
}
