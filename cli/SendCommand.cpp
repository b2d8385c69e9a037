// qwdump send FILE... --port P [--wave N] [--gap MS]: sends the wave dump
// messages of the files to one destination, found as the window finds it,
// paced for real devices, each waited for until it has gone out.

#include "Alert.h"
#include "BankSender.h"
#include "Command.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "ExitStatus.h"
#include "FitWave.h"
#include "NumberOption.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "StandardOutput.h"
#include "Termination.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kDefaultGapMs = 150;
constexpr int kMaxGapMs = 10000;

// A line per message that went out on stdout, a progress line on a
// terminal's stderr, an account of a failure, and the exit status.
class SendReport : public BankSender::Listener
{
public:
    SendReport(const std::string& port, const std::vector<BankMessage>& bank)
        : m_port(EscapeControlCharacters(port)), m_bank(bank), m_progress(::isatty(STDERR_FILENO) == 1)
    {
    }
    int Status() const { return m_status; }

    void Going(const SendProgress& at) override
    {
        if (!m_progress)
            return;
        constexpr int kBarWidth = 20;
        const int filled = at.StepsDone(kBarWidth);
        std::fprintf(stderr, "\r\033[K%zu/%zu  wave %d  %s  [%.*s%*s]  %.1f s left", at.index + 1, at.total,
                     at.waveNumber, EscapeControlCharacters(at.file).c_str(), filled, "####################",
                     kBarWidth - filled, "", std::chrono::duration<double>(at.left).count());
        std::fflush(stderr);
        m_shown = true;
    }
    void Sent(const BankMessage& message) override
    {
        ClearProgress();
        Print("Sent wave %d (%s) to %s\n", message.waveNumber, EscapeControlCharacters(message.file).c_str(),
              EscapeControlCharacters(m_port).c_str());
        std::fflush(stdout);  // as it happens, for whoever follows the run
    }
    void Ended(const BankSender::Ending& ending) override
    {
        ClearProgress();
        m_status = kExitOk;
        if (ending.kind == BankSender::Ending::kCancelled) {
            std::fprintf(stderr, "qwdump: interrupted: %zu of %zu messages went out\n", ending.sent, m_bank.size());
            m_status = ExitStatusAfterSignals(kExitOk);
        } else if (ending.kind != BankSender::Ending::kSent) {
            const BankMessage& message = m_bank[ending.sent];
            if (ending.kind == BankSender::Ending::kTimedOut)
                std::fprintf(stderr, "qwdump: wave %d (%s) did not finish going to %s within %d seconds\n",
                             message.waveNumber, EscapeControlCharacters(message.file).c_str(),
                             EscapeControlCharacters(m_port).c_str(),
                             static_cast<int>(BankSender::kSendTimeout.count()));
            else
                std::fprintf(stderr, "qwdump: wave %d (%s) was not sent to %s: %s\n", message.waveNumber,
                             EscapeControlCharacters(message.file).c_str(), EscapeControlCharacters(m_port).c_str(),
                             EscapeControlCharacters(ending.reason).c_str());
            // A lone message needs no account.
            if (m_bank.size() > 1)
                std::fprintf(stderr, "qwdump: %zu of %zu messages went out before it\n", ending.sent, m_bank.size());
            m_status = ending.portGone ? kExitNoSuchPort : kExitSendFailed;
        }
    }

private:
    void ClearProgress()
    {
        if (!m_shown)
            return;
        std::fprintf(stderr, "\r\033[K");
        std::fflush(stderr);
        m_shown = false;
    }

    const std::string m_port;
    const std::vector<BankMessage>& m_bank;
    const bool m_progress;
    bool m_shown = false;
    int m_status = kExitOk;
};

class SendCommand : public Command
{
public:
    explicit SendCommand(CLI::App& app)
        : Command(app.add_subcommand(
              "send", "Send the wave dump messages of WAV and .syx files to a MIDI destination, one after another.\n"
                      "Each message after the first starts only when the previous one has gone out and its wire time "
                      "at MIDI's 31,250 baud (96 ms for 300 bytes) plus the gap has passed: devices behind USB or DIN "
                      "interfaces need that pause (20 to 200 ms) to store each wave, and a fast computer must never "
                      "overrun a slow cable further down."))
    {
    }

    void AddOptions() override
    {
        AddFilesArgument(m_files);
        m_subcommand
            ->add_option("--port,-p", m_port,
                         "Destination: its exact title as 'qwdump ports' lists it, or its address "
                         "(ALSA CLIENT:PORT such as 14:0, JACK client:port)")
            ->required();
        m_wave = AddWaveNumberOption(m_waveNumber, kFirstWaveHelp);
        m_subcommand
            ->add_option("--gap,-g", m_gapMs, "Pause in milliseconds after each message's wire time, 0 to 10000")
            ->transform(WholeNumberIn(0, kMaxGapMs, "milliseconds"))
            ->capture_default_str();
        AddFitOptions(*m_subcommand, m_fit, m_request);
    }

    int Run() override
    {
        // Every file is read and the port found before the first byte goes
        // out: a bad file late in a bank must not leave half of it sent.
        std::vector<BankMessage> bank;
        const std::optional<int> firstWave = m_wave->count() > 0 ? std::optional<int>(m_waveNumber) : std::nullopt;
        if (const int status = GatherWaveDumpsOrReport(m_files, firstWave, FitOption(m_fit, m_request), bank);
            status != kExitOk)
            return status;
        const MIDIEndpointRef destination = FindMIDIPortByTitleOrAddress(m_port);
        if (destination == 0) {
            RunAlertPanel(kPortGoneAlert);
            std::fprintf(stderr, "qwdump: no MIDI destination titled '%s'; 'qwdump ports' lists them\n",
                         EscapeControlCharacters(m_port).c_str());
            return kExitNoSuchPort;
        }
        // Ctrl-C, SIGTERM or SIGHUP lets the message in flight finish and
        // sends no more.
        SendReport report(m_port, bank);
        BankSender sender(bank, destination, m_port, std::chrono::milliseconds(m_gapMs), report);
        MIDIServiceWaitFor(
            [&sender] {
                if (TerminationSignal() != 0)
                    sender.Cancel();
                return sender.Finished();
            },
            TerminationFd());
        return FinishStandardOutput(report.Status());
    }

private:
    std::vector<std::string> m_files;
    std::string m_port;
    int m_waveNumber = 0;
    CLI::Option* m_wave = nullptr;
    int m_gapMs = kDefaultGapMs;
    std::string m_fit;
    FitRequest m_request;
};

}  // namespace

std::unique_ptr<Command> AddSendCommand(CLI::App& app)
{
    return std::make_unique<SendCommand>(app);
}
