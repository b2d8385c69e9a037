// One System Exclusive message sent as a request of its own, whose own
// completion tells how it ended: delivered, or not and why.
#pragma once

#include "MidiService.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class SysexDelivery
{
public:
    // Starts sending `message` to `destination`; returns what MIDISendSysex
    // returned. The delivery is finished at once when the send is refused.
    static std::shared_ptr<SysexDelivery> Start(MIDIEndpointRef destination, const std::vector<std::uint8_t>& message,
                                                OSStatus& status);

    // Waits until the send has completed; false when the deadline came first.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    bool Delivered();
    std::string FailureReason();

private:
    static void Completed(MIDISysexSendRequest* request);

    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    bool m_delivered = false;
    std::string m_failure;
};
