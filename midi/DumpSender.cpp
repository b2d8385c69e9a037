#include "DumpSender.h"

#include "Alert.h"
#include "DestinationDirectory.h"
#include "Engine.h"
#include "MidiService.h"
#include "SystemLog.h"
#include "WaveDump.h"

#include <cstdlib>
#include <cstring>

namespace {

// One allocation per send: the request first, so that the request pointer
// the completion procedure receives is the block itself.
struct SendBlock
{
    MIDISysexSendRequest request;
    std::uint8_t message[WaveDump::kBytes];
    std::shared_ptr<SysexOutcome> outcome;
};

}  // namespace

WaveDumpSend SendWaveDump(const std::optional<std::string>& portTitle, const std::string& waveTitle,
                          std::shared_ptr<SysexOutcome> outcome)
{
    const MIDIEndpointRef destination = FindMIDIPortByTitle(portTitle);
    if (destination == 0) {
        RunAlertPanel(kPortGoneAlert);
        return {false, kMIDIUnknownEndpoint};
    }
    const auto index = static_cast<std::int32_t>(std::strtol(waveTitle.c_str(), nullptr, 10) - 1);
    std::uint32_t length = 0;
    const OSStatus status = StartSysexSend(destination, s_Engine.PackWavToSysex(index, length), std::move(outcome));
    LogLine("MIDISendSysex = %d", static_cast<int>(status));
    if (status != noErr)
        LogLine("MIDI send refused: %s", MIDISendSysexRefusalReason());
    return {true, status};
}

OSStatus StartSysexSend(MIDIEndpointRef destination, const std::uint8_t* message, std::shared_ptr<SysexOutcome> outcome)
{
    auto* block = new SendBlock{{}, {}, std::move(outcome)};
    std::memcpy(block->message, message, sizeof block->message);
    block->request.destination = destination;
    block->request.data = block->message;
    block->request.bytesToSend = sizeof block->message;
    block->request.completionProc = SyxSendDone;
    // The block belongs to the service from here on: it may already be freed
    // when MIDISendSysex returns.
    return MIDISendSysex(&block->request);
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

bool SysexOutcome::WaitUntil(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_finished.wait_until(lock, deadline, [this] { return m_done; });
}
