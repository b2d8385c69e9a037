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

SendBlock* NewSendBlock(MIDIEndpointRef destination, const std::uint8_t* message, std::shared_ptr<SysexOutcome> outcome,
                        LaneClock::time_point startAt = {})
{
    auto* block = new SendBlock{{}, {}, std::move(outcome)};
    std::memcpy(block->message, message, sizeof block->message);
    block->request.destination = destination;
    block->request.data = block->message;
    block->request.bytesToSend = sizeof block->message;
    block->request.completionProc = SyxSendDone;
    block->request.timeStamp = std::chrono::duration_cast<std::chrono::nanoseconds>(startAt.time_since_epoch()).count();
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
                        MIDIHandedOver handedOver, LaneClock::time_point startAt)
{
    MIDISendSysexThen(&NewSendBlock(destination, message, std::move(outcome), startAt)->request, std::move(handedOver));
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
        // A backend that does not say where it placed the message sent it
        // at its start time, or at once.
        const auto now = LaneClock::now();
        const LaneClock::time_point asked{std::chrono::nanoseconds(request->timeStamp)};
        outcome.m_placedAt = request->timeStamp != 0 && asked < now ? asked : now;
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
