#include "DumpSender.h"

#include "Alert.h"
#include "DestinationDirectory.h"
#include "Engine.h"
#include "SystemLog.h"
#include "WaveDump.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// One allocation per send: the request first, so that the request pointer
// the completion procedure receives is the block itself.
struct SendBlock
{
    MIDISysexSendRequest request;
    std::uint8_t message[WaveDump::kBytes];
};

std::atomic<std::uint64_t> g_allocated{0};
std::atomic<std::uint64_t> g_freed{0};
std::atomic<std::uint64_t> g_delivered{0};

}  // namespace

WaveDumpSend SendWaveDump(const std::optional<std::string>& portTitle, const std::string& waveTitle)
{
    const MIDIEndpointRef destination = FindMIDIPortByTitle(portTitle);
    if (destination == 0) {
        RunAlertPanel(kPortGoneAlert);
        return {false, kMIDIUnknownEndpoint};
    }

    auto* block = new SendBlock;
    g_allocated.fetch_add(1, std::memory_order_relaxed);

    const auto index = static_cast<std::int32_t>(std::strtol(waveTitle.c_str(), nullptr, 10) - 1);
    std::uint32_t length = 0;
    const std::uint8_t* msg = s_Engine.PackWavToSysex(index, length);
    std::memcpy(block->message, msg, length);

    block->request.destination = destination;
    block->request.data = block->message;
    block->request.bytesToSend = length;
    block->request.complete = 0;
    std::memset(block->request.reserved, 0, sizeof block->request.reserved);
    block->request.completionProc = SyxSendDone;
    block->request.completionRefCon = nullptr;

    // The block belongs to the service from here on: it may already be freed
    // when MIDISendSysex returns.
    const OSStatus status = MIDISendSysex(&block->request);
    LogLine("MIDISendSysex = %d", static_cast<int>(status));
    if (status != noErr)
        LogLine("MIDI send refused: %s", MIDISendSysexRefusalReason());
    return {true, status};
}

void SyxSendDone(MIDISysexSendRequest* request)
{
    if (request == nullptr)
        return;
    if (request->complete)
        g_delivered.fetch_add(1, std::memory_order_relaxed);
    delete reinterpret_cast<SendBlock*>(request);
    g_freed.fetch_add(1, std::memory_order_release);
}

SendBlockCounts GetSendBlockCounts()
{
    return {g_allocated.load(std::memory_order_relaxed), g_freed.load(std::memory_order_acquire),
            g_delivered.load(std::memory_order_relaxed)};
}

bool WaitForSendBlocksFreed(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const SendBlockCounts counts = GetSendBlockCounts();
        if (counts.freed >= counts.allocated)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
