#include "DumpSender.h"

#include "MidiService.h"
#include "WaveDump.h"

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
