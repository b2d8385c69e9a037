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
#include "StandardOutput.h"
#include "WaveDumpBank.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kDefaultGapMs = 150;
constexpr int kMaxGapMs = 10000;

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
        if (const int status = GatherWaveDumps(m_files, firstWave, FitOption(m_fit, m_request), bank);
            status != kExitOk)
            return status;
        const MIDIEndpointRef destination = FindMIDIPortByTitleOrAddress(m_port);
        if (destination == 0) {
            RunAlertPanel(kPortGoneAlert);
            std::fprintf(stderr, "qwdump: no MIDI destination titled '%s'; 'qwdump ports' lists them\n",
                         EscapeControlCharacters(m_port).c_str());
            return kExitNoSuchPort;
        }
        const int status = SendBank(bank, destination, m_port, std::chrono::milliseconds(m_gapMs));
        return FinishStandardOutput(status);
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
