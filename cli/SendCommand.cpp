// qwdump send FILE --port TITLE --wave N: sends the wave dump message to the
// destination with that title, found as the window finds it, and waits for
// the send to finish.

#include "Command.h"
#include "DumpSender.h"
#include "ExitStatus.h"
#include "LoadWave.h"
#include "MidiService.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Far longer than any destination needs for 300 bytes (96 ms on a DIN cable).
constexpr std::chrono::seconds kSendTimeout{5};

class SendCommand : public Command
{
public:
    explicit SendCommand(CLI::App& app)
        : Command(app.add_subcommand("send", "Send the wave dump message of a WAV file to a MIDI destination"))
    {
        AddWavFileArgument(m_file);
        m_subcommand->add_option("--port,-p", m_port, "Destination title, exactly as 'qwdump ports' lists it")
            ->required();
        AddWaveNumberOption(m_waveNumber);
        AddFitOption(*m_subcommand, m_fit);
    }

    int Run() override
    {
        if (!LoadWaveOrReport(m_file, m_fit))
            return kExitFileError;

        const SendBlockCounts before = GetSendBlockCounts();
        // Not found: the alert's text is already on stderr.
        const WaveDumpSend sent = SendWaveDump(m_port, std::to_string(m_waveNumber));
        if (!sent.portFound)
            return Finish(kExitNoSuchPort);
        if (sent.status != noErr) {
            std::fprintf(stderr, "qwdump: the send was refused: %s\n", MIDIStatusText(sent.status));
            return Finish(kExitSendFailed);
        }
        if (!WaitForSendBlocksFreed(kSendTimeout)) {
            std::fprintf(stderr, "qwdump: the send did not finish within %d seconds\n",
                         static_cast<int>(kSendTimeout.count()));
            // Closing the MIDI service would wait for the stuck send.
            std::fflush(stdout);
            std::_Exit(kExitSendFailed);
        }
        if (GetSendBlockCounts().delivered == before.delivered) {
            std::fprintf(stderr, "qwdump: the message was not delivered to %s\n", m_port.c_str());
            return Finish(kExitSendFailed);
        }
        std::printf("Sent wave %d to %s\n", m_waveNumber, m_port.c_str());
        return Finish(kExitOk);
    }

private:
    static int Finish(int status)
    {
        MIDIServiceShutDown();
        return status;
    }

    std::string m_file;
    std::string m_port;
    int m_waveNumber = 0;
    std::string m_fit;
};

}  // namespace

std::unique_ptr<Command> AddSendCommand(CLI::App& app)
{
    return std::make_unique<SendCommand>(app);
}
