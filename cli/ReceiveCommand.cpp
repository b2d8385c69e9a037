// qwdump receive --port SOURCE [-o OUT.syx] [--count N] [--idle S] [--wait S]
// [--all]: collects the wave dump messages a MIDI source sends (a synth's
// dump of its waves) and writes them, in order of arrival, to a .syx file
// or as lines of hex. Everything collected is written whichever way the run
// ends: after N wave dumps, a quiet spell, Ctrl-C, SIGTERM or SIGHUP. What
// did not arrive whole (input lost, a message cut short, fewer than N) is
// said, and ends the run with a status of its own.

#include "Command.h"
#include "DestinationDirectory.h"
#include "ExitStatus.h"
#include "MidiService.h"
#include "NumberOption.h"
#include "OutputFile.h"
#include "PrintableText.h"
#include "StandardOutput.h"
#include "SysexStream.h"
#include "SyxFile.h"
#include "Termination.h"
#include "WaveDump.h"

#include <algorithm>
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

    // A whole message; a message dropped, or input lost, as `why` says.
    struct Item
    {
        enum Kind { kMessage, kDropped, kLost } kind = kMessage;
        std::vector<std::uint8_t> message;
        std::string why;
        bool waveDump = false;  // a dropped message began as one
    };

    void Message(const std::vector<std::uint8_t>& message) override { Put({Item::kMessage, message, "", false}); }
    void Dropped(const std::vector<std::uint8_t>& begun, const std::string& why) override
    {
        const bool waveDump = begun.size() >= sizeof WaveDump::kHeader &&
                              std::equal(std::begin(WaveDump::kHeader), std::end(WaveDump::kHeader), begun.begin());
        Put({Item::kDropped, {}, why, waveDump});
    }
    void Lost(const std::string& why) { Put({Item::kLost, {}, why, false}); }
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

// "1 wave dump", "2 wave dumps".
std::string Count(int count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

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
              "wave dumps, --idle seconds after the last message, or on Ctrl-C, and writes what it has. "
              "Exit status 5: MIDI input was lost, a message was cut short, or fewer than --count wave dumps "
              "arrived; what arrived whole is written all the same."))
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
        m_subcommand->add_flag("--all", m_all,
                               "Keep other System Exclusive messages too (unpack and show skip them, naming each)");
    }

    int Run() override
    {
        // Found out now, not once the dump has arrived.
        if (std::string error; !m_output.empty() && !CanWriteOutputFile(m_output, error)) {
            std::fprintf(stderr, "qwdump: cannot write %s: %s\n", m_output.c_str(), error.c_str());
            return kExitFileError;
        }
        const MIDIEndpointRef source = FindMIDIPortByTitleOrAddress(m_port, true);
        const std::string shown = EscapeControlCharacters(m_port);
        if (source == 0) {
            std::fprintf(stderr, "qwdump: no MIDI source titled '%s'; 'qwdump ports --sources' lists them\n",
                         shown.c_str());
            return kExitNoSuchPort;
        }
        auto listening = std::make_shared<Listening>();
        MIDIReadProc read{[listening](const std::uint8_t* bytes, std::size_t size) {
                              listening->stream.Feed(bytes, size, listening->inbox);
                          },
                          [listening](const std::string& why) {
                              listening->inbox.Lost(why);
                              listening->stream.Lost(listening->inbox);
                          }};
        std::string reason;
        if (MIDIConnectSource(source, std::move(read), reason) != noErr) {
            std::fprintf(stderr, "qwdump: can't listen to %s: %s\n", shown.c_str(), reason.c_str());
            return kExitNoSuchPort;
        }
        const bool gone = Collect(source, listening->inbox);
        // The system hands on what it holds before it stops listening: a run
        // stopped (Ctrl-Z) past its quiet spell finds the rest waiting there.
        MIDIConnectSource(source, {}, reason);
        TakeWaiting(listening->inbox);
        ClearCount();
        if (m_messages.empty()) {
            SayWhatIsMissing();
            std::fprintf(stderr, "qwdump: %s from %s\n",
                         gone ? "nothing arrived before it went away" : "nothing arrived", shown.c_str());
            return gone ? kExitNoSuchPort : kExitFileError;
        }
        // A signal that ended the collecting is answered by this write; only
        // one during it leaves the old file.
        if (m_output.empty())
            for (const SysexMessage& message : m_messages)
                PrintHexLine(message);
        else if (!WriteSyxFile(m_output, m_messages, TerminationSignalCount()))
            return kExitFileError;
        const bool incomplete = SayWhatIsMissing();
        if (gone)
            std::fprintf(stderr, "qwdump: %s went away; what arrived before is written\n", shown.c_str());
        return FinishStandardOutput(gone ? kExitNoSuchPort : incomplete ? kExitIncomplete : kExitOk);
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
            if (TakeWaiting(inbox))
                quietUntil = SecondsFromNow(m_idle);
        }
        return false;
    }

    // What the inbox holds, up to --count wave dumps; true when anything.
    bool TakeWaiting(Inbox& inbox)
    {
        bool took = false;
        Inbox::Item item;
        while ((m_count == 0 || m_waves < m_count) && inbox.Take(item)) {
            Take(item);
            took = true;
        }
        return took;
    }

    // One message, kept and said or skipped with a notice; or a drop or a
    // loss, said and counted.
    void Take(Inbox::Item& item)
    {
        std::vector<std::uint8_t>& message = item.message;
        std::size_t offset = 0;
        const bool wave = item.kind == Inbox::Item::kMessage && message.size() == WaveDump::kBytes &&
                          WaveDump::Check(message.data(), message.size(), offset).empty();
        const bool kept = wave || (m_all && item.kind == Inbox::Item::kMessage);
        ClearCount();
        if (item.kind == Inbox::Item::kLost) {
            std::fprintf(stderr, "qwdump: %s\n", item.why.c_str());
            ++m_losses;
        } else if (item.kind == Inbox::Item::kDropped) {
            std::fprintf(stderr, "qwdump: dropped %s\n", item.why.c_str());
            ++(item.waveDump ? m_wavesCutShort : m_othersCutShort);
        } else if (kept && m_bytesKept + message.size() > kMaxSyxFileBytes) {
            std::fprintf(stderr,
                         "qwdump: dropped a %zu-byte message: the backup would pass %zu MiB, the most a .syx "
                         "file qwdump reads may hold\n",
                         message.size(), kMaxSyxFileBytes >> 20);
            ++m_losses;
        } else if (wave) {
            Say("Received wave " + std::to_string(WaveDump::WaveNumberOf(message.data())));
        } else if (m_all) {
            Say("Received a " + std::to_string(message.size()) + "-byte System Exclusive message");
        } else {
            std::fprintf(stderr, "qwdump: skipped a %zu-byte System Exclusive message that is not a wave dump\n",
                         message.size());
        }
        if (kept && m_bytesKept + message.size() <= kMaxSyxFileBytes) {
            m_waves += wave ? 1 : 0;
            m_bytesKept += message.size();
            m_messages.push_back(std::move(message));
        }
        ShowCount();
    }

    // What did not arrive whole, in a line or two on stderr; true when
    // anything did not.
    bool SayWhatIsMissing() const
    {
        std::string cut;
        if (m_wavesCutShort > 0)
            cut = Count(m_wavesCutShort, "wave dump");
        if (m_othersCutShort > 0)
            cut += (cut.empty() ? "" : " and ") + Count(m_othersCutShort, "System Exclusive message");
        const bool lost = m_losses > 0 || !cut.empty();
        if (lost)
            std::fprintf(stderr, "qwdump: some messages were lost%s%s%s\n", cut.empty() ? "" : " (", cut.c_str(),
                         cut.empty() ? "" : " cut short)");
        const bool fewer = m_count > 0 && m_waves < m_count;
        if (fewer && !m_messages.empty())
            std::fprintf(stderr, "qwdump: received %d of %d wave dumps\n", m_waves, m_count);
        return lost || fewer;
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
    int m_losses = 0;  // input lost, as the MIDI system said, or not kept
    int m_wavesCutShort = 0;
    int m_othersCutShort = 0;
    std::size_t m_bytesKept = 0;
    std::vector<SysexMessage> m_messages;
};

}  // namespace

std::unique_ptr<Command> AddReceiveCommand(CLI::App& app)
{
    return std::make_unique<ReceiveCommand>(app);
}
