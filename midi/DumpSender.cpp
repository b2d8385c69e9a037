#include "DumpSender.h"

#include "Alert.h"
#include "DestinationDirectory.h"
#include "Engine.h"
#include "MidiService.h"
#include "SystemLog.h"
#include "WaveDump.h"

#include <cstdlib>
#include <cstring>
#include <deque>

namespace {

// One allocation per send: the request first, so that the request pointer
// the completion procedure receives is the block itself.
struct SendBlock
{
    MIDISysexSendRequest request;
    std::uint8_t message[WaveDump::kBytes];
    std::shared_ptr<SysexOutcome> outcome;
};

// A send the user asked for: the wave as it was packed then, for the port
// selected then. The first is under way; the others wait their turn.
struct AskedSend
{
    std::optional<std::string> portTitle;
    std::uint8_t message[WaveDump::kBytes];
    std::function<void(const WaveDumpSend&)> done;
    std::shared_ptr<SysexOutcome> outcome;
};

std::deque<AskedSend>& AskedSends()
{
    static auto* asked = new std::deque<AskedSend>;
    return *asked;
}
bool g_sending = false;  // the first asked send is under way

void StartFirstAskedSend();

void FinishFirstAskedSend(const WaveDumpSend& sent)
{
    const auto done = std::move(AskedSends().front().done);
    AskedSends().pop_front();
    if (done)
        done(sent);
    StartFirstAskedSend();
}

void StartFirstAskedSend()
{
    g_sending = !AskedSends().empty();
    if (!g_sending)
        return;
    FindMIDIPortByTitleThen(AskedSends().front().portTitle, [](MIDIEndpointRef destination) {
        if (destination == 0) {
            RunAlertPanel(kPortGoneAlert);
            FinishFirstAskedSend({false, kMIDIUnknownEndpoint});
            return;
        }
        StartSysexSendThen(destination, AskedSends().front().message, AskedSends().front().outcome,
                           [](OSStatus status, const std::string& refusal) {
                               LogLine("MIDISendSysex = %d", static_cast<int>(status));
                               if (status != noErr)
                                   LogLine("MIDI send refused: %s", refusal.c_str());
                               FinishFirstAskedSend({true, status});
                           });
    });
}

SendBlock* NewSendBlock(MIDIEndpointRef destination, const std::uint8_t* message, std::shared_ptr<SysexOutcome> outcome)
{
    auto* block = new SendBlock{{}, {}, std::move(outcome)};
    std::memcpy(block->message, message, sizeof block->message);
    block->request.destination = destination;
    block->request.data = block->message;
    block->request.bytesToSend = sizeof block->message;
    block->request.completionProc = SyxSendDone;
    return block;
}

}  // namespace

void SendWaveDump(const std::optional<std::string>& portTitle, const std::string& waveTitle,
                  std::function<void(const WaveDumpSend&)> done, std::shared_ptr<SysexOutcome> outcome)
{
    const auto index = static_cast<std::int32_t>(std::strtol(waveTitle.c_str(), nullptr, 10) - 1);
    std::uint32_t length = 0;
    AskedSends().push_back({portTitle, {}, std::move(done), std::move(outcome)});
    std::memcpy(AskedSends().back().message, s_Engine.PackWavToSysex(index, length), WaveDump::kBytes);
    if (!g_sending)
        StartFirstAskedSend();
}

// The block belongs to the service from MIDISendSysex on: it may already be
// freed when that returns.
OSStatus StartSysexSend(MIDIEndpointRef destination, const std::uint8_t* message, std::shared_ptr<SysexOutcome> outcome)
{
    return MIDISendSysex(&NewSendBlock(destination, message, std::move(outcome))->request);
}

void StartSysexSendThen(MIDIEndpointRef destination, const std::uint8_t* message, std::shared_ptr<SysexOutcome> outcome,
                        MIDIHandedOver handedOver)
{
    MIDISendSysexThen(&NewSendBlock(destination, message, std::move(outcome))->request, std::move(handedOver));
}

void SyxSendDone(MIDISysexSendRequest* request)
{
    if (request == nullptr)
        return;
    auto* block = reinterpret_cast<SendBlock*>(request);
    if (block->outcome) {
        SysexOutcome& outcome = *block->outcome;
        std::lock_guard<std::mutex> lock(outcome.m_mutex);
        outcome.m_done = true;
        outcome.m_delivered = request->complete != 0;
        outcome.m_failure = MIDISysexFailureReason();
        outcome.m_finished.notify_all();
    }
    if (block->outcome && block->outcome->m_onFinished)
        block->outcome->m_onFinished();
    delete block;
}

bool SysexOutcome::Done()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_done;
}

bool SysexOutcome::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_finished.wait_until(lock, deadline, [this] { return m_done; });
}
