// qwdump send FILE --port TITLE --wave N: sends the wave dump message to the
// destination with that title, found as the window finds it, and waits for
// the send to finish.

#include "Alert.h"
#include "Command.h"
#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "LoadWave.h"
#include "MidiExit.h"
#include "MidiService.h"
#include "PrintableText.h"
#include "SysexDelivery.h"
#include "SystemLog.h"

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
        m_subcommand->add_option("--port,-p", m_port, "Destination: its exact title as 'qwdump ports' lists it, or its address "
                                     "(ALSA CLIENT:PORT such as 14:0, JACK client:port)")
            ->required();
        AddWaveNumberOption(m_waveNumber);
        AddFitOption(*m_subcommand, m_fit);
    }

    int Run() override
    {
        if (!LoadWaveOrReport(m_file, m_fit))
            return kExitFileError;

        const MIDIEndpointRef destination = FindMIDIPortByTitleOrAddress(m_port);
        if (destination == 0) {
            RunAlertPanel(kPortGoneAlert);
            std::fprintf(stderr, "qwdump: no MIDI destination titled '%s'; 'qwdump ports' lists them\n",
                         EscapeControlCharacters(m_port).c_str());
            return Finish(kExitNoSuchPort);
        }
        std::uint32_t length = 0;
        const std::uint8_t* msg = s_Engine.PackWavToSysex(m_waveNumber - 1, length);
        OSStatus status = noErr;
        const auto delivery = SysexDelivery::Start(destination, {msg, msg + length}, status);
        LogLine("MIDISendSysex = %d", static_cast<int>(status));
        if (status != noErr) {
            std::fprintf(stderr, "qwdump: the send was refused: %s\n", MIDISendSysexRefusalReason());
            return Finish(kExitSendFailed);
        }
        if (!delivery->WaitUntil(std::chrono::steady_clock::now() + kSendTimeout)) {
            std::fprintf(stderr, "qwdump: the send did not finish within %d seconds\n",
                         static_cast<int>(kSendTimeout.count()));
            // Closing the MIDI service would wait for the stuck send.
            std::fflush(stdout);
            std::_Exit(kExitSendFailed);
        }
        if (!delivery->Delivered()) {
            std::fprintf(stderr, "qwdump: the message was not delivered to %s: %s\n",
                         EscapeControlCharacters(m_port).c_str(), delivery->FailureReason().c_str());
            return Finish(kExitSendFailed);
        }
        std::printf("Sent wave %d to %s\n", m_waveNumber, EscapeControlCharacters(m_port).c_str());
        return Finish(kExitOk);
    }

private:
    static int Finish(int status) { return CloseMidiAndReturn(status); }

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
