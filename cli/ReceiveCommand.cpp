// qwdump receive --port SOURCE [-o OUT.syx] [--count N] [--idle S] [--wait S]
// [--all]: collects the wave dump messages a MIDI source sends (a synth's
// dump of its waves) and writes them, in order of arrival, to a .syx file
// or as lines of hex. Everything collected is written whichever way the run
// ends: after N wave dumps, a quiet spell, Ctrl-C, SIGTERM or SIGHUP. What
// did not arrive whole (input lost, a message cut short, fewer than N) is
// said, and ends the run with a status of its own.

#include "BankReceiver.h"
#include "Command.h"
#include "DestinationDirectory.h"
#include "ExitStatus.h"
#include "MidiService.h"
#include "NumberOption.h"
#include "OutputFile.h"
#include "PrintableText.h"
#include "StandardOutput.h"
#include "Termination.h"
#include "UserDataFolder.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <limits>

#include <unistd.h>

namespace {

// Each arrival said as it comes: a line per message kept, on stdout with
// -o, else on stderr; on a terminal, the count so far, redrawn.
class ReceiveReport : public BankReceiver::Listener
{
public:
    explicit ReceiveReport(bool toStdout) : m_toStdout(toStdout) {}
    void Attach(const BankReceiver& receiver) { m_receiver = &receiver; }
    const BankReceiver::Ending& Ending() const { return m_ending; }

    void Arrived(const BankReceiver::Arrival& arrival) override
    {
        ClearCount();
        switch (arrival.kind) {
        case BankReceiver::Arrival::kInputLost:
            std::fprintf(stderr, "qwdump: %s\n", arrival.why.c_str());
            break;
        case BankReceiver::Arrival::kCutShort:
            std::fprintf(stderr, "qwdump: dropped %s\n", arrival.why.c_str());
            break;
        case BankReceiver::Arrival::kTooMany:
            std::fprintf(stderr,
                         "qwdump: dropped a %zu-byte message: the backup would pass %zu MiB, the most a .syx "
                         "file qwdump reads may hold\n",
                         arrival.size, kMaxSyxFileBytes >> 20);
            break;
        case BankReceiver::Arrival::kWave:
            Say("Received wave " + std::to_string(arrival.waveNumber));
            if (arrival.replacedEarlier)
                std::fprintf(stderr, "qwdump: wave %d arrived again; the later copy replaces the earlier one\n",
                             arrival.waveNumber);
            break;
        case BankReceiver::Arrival::kOther:
            Say("Received a " + std::to_string(arrival.size) + "-byte System Exclusive message");
            break;
        case BankReceiver::Arrival::kSkipped:
            std::fprintf(stderr, "qwdump: skipped a %zu-byte System Exclusive message that is not a wave dump\n",
                         arrival.size);
            break;
        }
        ShowCount();
    }
    void Ended(const BankReceiver::Ending& ending) override
    {
        ClearCount();
        m_ending = ending;
    }

    static void ClearCount()
    {
        if (::isatty(STDERR_FILENO) == 1)
            std::fprintf(stderr, "\033[K");
    }

private:
    void Say(const std::string& line) const
    {
        if (m_toStdout) {
            Print("%s\n", line.c_str());
            std::fflush(stdout);
        } else {
            std::fprintf(stderr, "%s\n", line.c_str());
        }
    }
    void ShowCount() const
    {
        if (::isatty(STDERR_FILENO) == 1 && m_receiver != nullptr) {
            const int waves = m_receiver->Waves();
            std::fprintf(stderr, "%d wave dump%s received\r", waves, waves == 1 ? "" : "s");
            std::fflush(stderr);
        }
    }

    const bool m_toStdout;
    const BankReceiver* m_receiver = nullptr;
    BankReceiver::Ending m_ending{true, false, ""};
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
            std::fprintf(stderr, "qwdump: cannot write %s: %s\n", EscapeControlCharacters(m_output).c_str(),
                         EscapeControlCharacters(error).c_str());
            return kExitFileError;
        }
        const MIDIEndpointRef source = FindMIDIPortByTitleOrAddress(m_port, true);
        const std::string shown = EscapeControlCharacters(m_port);
        if (source == 0) {
            std::fprintf(stderr, "qwdump: no MIDI source titled '%s'; 'qwdump ports --sources' lists them\n",
                         shown.c_str());
            return kExitNoSuchPort;
        }
        ReceiveReport report(!m_output.empty());
        BankReceiver receiver(source, m_port, {m_count, m_idle, m_wait, m_all}, report);
        report.Attach(receiver);
        MIDIServiceWaitFor(
            [&receiver] {
                if (TerminationSignal() != 0)
                    receiver.Stop();
                return receiver.Finished();
            },
            TerminationFd());
        const BankReceiver::Ending& ending = report.Ending();
        if (!ending.listened) {
            std::fprintf(stderr, "qwdump: can't listen to %s: %s\n", shown.c_str(), ending.why.c_str());
            return kExitNoSuchPort;
        }
        const std::vector<SysexMessage>& messages = receiver.Messages();
        if (messages.empty()) {
            SayMissing(receiver);
            std::fprintf(stderr, "qwdump: %s from %s\n",
                         ending.gone ? "nothing arrived before it went away" : "nothing arrived", shown.c_str());
            return ending.gone ? kExitNoSuchPort : kExitFileError;
        }
        // A signal that ended the collecting is answered by this write; only
        // one during it leaves the old file.
        if (m_output.empty())
            for (const SysexMessage& message : messages)
                PrintHexLine(message);
        else if (!WriteSyxFileOrReport(m_output, messages, TerminationSignalCount())) {
            Rescue(messages);
            SayMissing(receiver);
            return kExitFileError;
        }
        const bool incomplete = SayMissing(receiver);
        if (ending.gone)
            std::fprintf(stderr, "qwdump: %s went away; what arrived before is written\n", shown.c_str());
        return FinishStandardOutput(ending.gone ? kExitNoSuchPort : incomplete ? kExitIncomplete : kExitOk);
    }

private:
    // A capture -o could not take (a full disk, a folder gone) goes to the
    // user's data folder, else the temporary one: a dump may not come twice.
    static void Rescue(const std::vector<SysexMessage>& messages)
    {
        const char* temporary = std::getenv("TMPDIR");
        std::vector<std::filesystem::path> folders;
        if (const std::string data = UserDataFolder(); !data.empty())
            folders.push_back(data);
        folders.push_back(temporary != nullptr && *temporary == '/' ? temporary : "/tmp");
        const std::string name = StampedSyxName("receive");
        for (const std::filesystem::path& folder : folders) {
            std::error_code ignored;
            std::filesystem::create_directories(folder, ignored);
            const std::string path = (folder / name).string();
            std::string error;
            if (WriteSyxFile(path, messages, error, TerminationSignalCount())) {
                std::fprintf(stderr, "qwdump: what arrived is kept in %s instead\n",
                             EscapeControlCharacters(path).c_str());
                return;
            }
            std::fprintf(stderr, "qwdump: cannot write %s either: %s\n", EscapeControlCharacters(path).c_str(),
                         EscapeControlCharacters(error).c_str());
        }
    }

    // What did not arrive whole, on stderr; true when anything did not.
    static bool SayMissing(const BankReceiver& receiver)
    {
        const std::vector<std::string> missing = receiver.Missing();
        for (const std::string& line : missing)
            std::fprintf(stderr, "qwdump: %s\n", line.c_str());
        return !missing.empty();
    }

    std::string m_port;
    std::string m_output;
    int m_count = 0;
    double m_idle = 3.0;
    double m_wait = 60.0;
    bool m_all = false;
};

}  // namespace

std::unique_ptr<Command> AddReceiveCommand(CLI::App& app)
{
    return std::make_unique<ReceiveCommand>(app);
}
