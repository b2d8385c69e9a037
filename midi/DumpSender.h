// Sends wave dump messages, each in a send block of its own that holds the
// request and a private copy of the message, freed by the send's completion.
// A bank's sender (bank/) sends its messages, waiting for each one's outcome;
// the window's wave goes out as a bank of one.
#pragma once

#include "MidiService.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

inline constexpr char kPortGoneAlert[] = "The MIDI port you've selected is no longer available.Please select another.";

class SysexOutcome;

// The completion procedure: frees the send block that starts with `request`.
// Safe on any thread; does nothing for null.
void SyxSendDone(MIDISysexSendRequest* request);

// How one send ended, for a caller that waits for it.
class SysexOutcome
{
public:
    bool Done();
    // False when the deadline came before the completion.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);
    bool Delivered() const { return m_delivered; }
    // When the message was placed to start on the wire (delivered sends).
    LaneClock::time_point PlacedAt() const { return m_placedAt; }
    const std::string& FailureReason() const { return m_failure; }
    // Called once the send has ended, on the thread that ended it, for a
    // caller that does not wait. Set it before the send starts.
    void OnFinished(std::function<void()> finished) { m_onFinished = std::move(finished); }

private:
    friend void SyxSendDone(MIDISysexSendRequest* request);
    std::function<void()> m_onFinished;
    std::mutex m_mutex;
    std::condition_variable m_finished;
    bool m_done = false;
    bool m_delivered = false;
    LaneClock::time_point m_placedAt;
    std::string m_failure;
};

// Sends the 300-byte wave dump `message` to `destination` in a send block of
// its own, to start no earlier than `startAt` (none: at once); `outcome`,
// when given, learns how it ended. Returns what MIDISendSysex returned; the
// ...Then form hands it over from the pump.
OSStatus StartSysexSend(MIDIEndpointRef destination, const std::uint8_t* message,
                        std::shared_ptr<SysexOutcome> outcome = nullptr);
void StartSysexSendThen(MIDIEndpointRef destination, const std::uint8_t* message, std::shared_ptr<SysexOutcome> outcome,
                        MIDIHandedOver handedOver, LaneClock::time_point startAt = {});
