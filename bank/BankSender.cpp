#include "BankSender.h"

#include "DestinationDirectory.h"
#include "DumpSender.h"
#include "ExitStatus.h"
#include "MidiService.h"
#include "PrintableText.h"
#include "SendProgress.h"
#include "StandardOutput.h"
#include "SystemLog.h"
#include "Termination.h"
#include "WaveDump.h"

#include <cstdio>
#include <cstdlib>

#include <poll.h>

namespace {

using Clock = std::chrono::steady_clock;

// Far longer than any destination needs for 300 bytes.
constexpr std::chrono::seconds kSendTimeout{5};

// 10 bits a byte at 31,250 baud.
std::chrono::microseconds WireTime(std::size_t bytes)
{
    return std::chrono::microseconds(bytes * 320);
}

// Sleeps until `until`; false as soon as a signal asks to stop.
bool PauseUntil(Clock::time_point until)
{
    pollfd signalled{TerminationFd(), POLLIN, 0};
    for (auto now = Clock::now(); now < until && TerminationSignal() == 0; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now).count();
        ::poll(&signalled, 1, static_cast<int>(left) + 1);
    }
    return TerminationSignal() == 0;
}

// How far a bank got; a lone message needs no account.
void PrintAccount(std::size_t sent, std::size_t total)
{
    if (total > 1)
        std::fprintf(stderr, "qwdump: %zu of %zu messages went out before it\n", sent, total);
}

}  // namespace

int SendBank(const std::vector<BankMessage>& bank, MIDIEndpointRef destination, const std::string& port,
             std::chrono::milliseconds gap)
{
    const std::string shownPort = EscapeControlCharacters(port);
    SendProgress progress(bank.size(), WireTime(WaveDump::kBytes) + gap);
    Clock::time_point nextStart = Clock::now();
    std::size_t sent = 0;
    for (const BankMessage& message : bank) {
        if (!PauseUntil(nextStart))
            break;
        progress.Show(sent, message.waveNumber, message.file);
        const Clock::time_point handedOver = Clock::now();
        auto outcome = std::make_shared<SysexOutcome>();
        const OSStatus status = StartSysexSend(destination, message.bytes.data(), outcome);
        LogLine("MIDISendSysex = %d", static_cast<int>(status));
        if (status == noErr && !outcome->WaitUntil(handedOver + kSendTimeout)) {
            progress.Clear();
            std::fprintf(stderr, "qwdump: wave %d (%s) did not finish going to %s within %d seconds\n",
                         message.waveNumber, message.file.c_str(), shownPort.c_str(),
                         static_cast<int>(kSendTimeout.count()));
            PrintAccount(sent, bank.size());
            return kExitSendFailed;
        }
        const std::string failure = status != noErr ? MIDISendSysexRefusalReason() : outcome->FailureReason();
        progress.Clear();
        if (!failure.empty()) {
            std::fprintf(stderr, "qwdump: wave %d (%s) was not sent to %s: %s\n", message.waveNumber,
                         message.file.c_str(), shownPort.c_str(), failure.c_str());
            PrintAccount(sent, bank.size());
            // A destination that has gone away is not a failed send.
            return FindMIDIPortByTitleOrAddress(port) == 0 ? kExitNoSuchPort : kExitSendFailed;
        }
        // The cable is busy for the wire time from when the transport
        // passed the message on, which is never before it was handed over:
        // counting from there, a message held up on its way (a connection
        // being made) can't bring the next one closer than wire time + gap.
        nextStart = Clock::now() + WireTime(message.bytes.size()) + gap;
        ++sent;
        Print("Sent wave %d (%s) to %s\n", message.waveNumber, message.file.c_str(), shownPort.c_str());
        std::fflush(stdout);  // as it happens, for whoever follows the run
    }
    progress.Clear();
    if (sent < bank.size()) {
        std::fprintf(stderr, "qwdump: interrupted: %zu of %zu messages went out\n", sent, bank.size());
        return ExitStatusAfterSignals(kExitOk);
    }
    return kExitOk;
}
