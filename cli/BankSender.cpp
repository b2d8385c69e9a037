#include "BankSender.h"

#include "DestinationDirectory.h"
#include "ExitStatus.h"
#include "PrintableText.h"
#include "SendProgress.h"
#include "StandardOutput.h"
#include "SysexDelivery.h"
#include "SystemLog.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Far longer than any destination needs for 300 bytes.
constexpr std::chrono::seconds kSendTimeout{5};
constexpr std::chrono::milliseconds kInterruptPoll{10};
constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report it

// 10 bits a byte at 31,250 baud.
std::chrono::microseconds WireTime(std::size_t bytes)
{
    return std::chrono::microseconds(bytes * 320);
}

volatile std::sig_atomic_t g_interrupted = 0;

void NoteInterrupt(int)
{
    g_interrupted = 1;
}

// While sending, the first Ctrl-C asks to stop after the message in flight;
// a second one ends the process as usual.
class InterruptRequest
{
public:
    InterruptRequest()
    {
        g_interrupted = 0;
        struct sigaction action = {};
        action.sa_handler = NoteInterrupt;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptRequest() { ::sigaction(SIGINT, &m_previous, nullptr); }
    InterruptRequest(const InterruptRequest&) = delete;
    InterruptRequest& operator=(const InterruptRequest&) = delete;

    static bool Asked() { return g_interrupted != 0; }

private:
    struct sigaction m_previous;
};

// Sleeps until `until`; false as soon as Ctrl-C asks to stop.
bool PauseUntil(Clock::time_point until)
{
    for (auto now = Clock::now(); now < until; now = Clock::now()) {
        if (InterruptRequest::Asked())
            return false;
        std::this_thread::sleep_for(std::min<Clock::duration>(until - now, kInterruptPoll));
    }
    return !InterruptRequest::Asked();
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
    const InterruptRequest interrupt;
    const std::string shownPort = EscapeControlCharacters(port);
    SendProgress progress(bank.size(), WireTime(300) + gap);
    Clock::time_point nextStart = Clock::now();
    std::size_t sent = 0;
    for (const BankMessage& message : bank) {
        if (!PauseUntil(nextStart))
            break;
        progress.Show(sent, message.waveNumber, message.file);
        const Clock::time_point handedOver = Clock::now();
        OSStatus status = noErr;
        const auto delivery = SysexDelivery::Start(destination, message.bytes, status);
        LogLine("MIDISendSysex = %d", static_cast<int>(status));
        std::string failure;
        if (status != noErr) {
            failure = MIDISendSysexRefusalReason();
        } else if (!delivery->WaitUntil(handedOver + kSendTimeout)) {
            progress.Clear();
            std::fprintf(stderr, "qwdump: wave %d (%s) did not finish going to %s within %d seconds\n",
                         message.waveNumber, message.file.c_str(), shownPort.c_str(),
                         static_cast<int>(kSendTimeout.count()));
            PrintAccount(sent, bank.size());
            // Closing the MIDI service would wait for the stuck send.
            std::_Exit(FinishStandardOutput(kExitSendFailed));
        } else if (!delivery->Delivered()) {
            failure = delivery->FailureReason();
        }
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
        return kExitInterrupted;
    }
    return kExitOk;
}
