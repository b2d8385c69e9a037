// Sends the engine's wave as one wave dump message to the destination with
// the selected title. Each send owns one block holding the request and a
// private copy of the message; the send's completion frees it.
#pragma once

#include "MidiService.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

inline constexpr char kPortGoneAlert[] =
    "The MIDI port you've selected is no longer available.Please select another.";

struct WaveDumpSend
{
    bool portFound;   // false: the alert was shown and nothing was sent
    OSStatus status;  // what MIDISendSysex returned (logged either way)
};

// `portTitle` is the selected port title, none when the port popup is empty;
// `waveTitle` is the selected wave number, "97" to "128". The window ignores
// the result (the log line and the alert tell); qwdump uses it.
WaveDumpSend SendWaveDump(const std::optional<std::string>& portTitle, const std::string& waveTitle);

// The completion procedure: frees the send block that starts with `request`.
// Safe on any thread; does nothing for null.
void SyxSendDone(MIDISysexSendRequest* request);

// Counts of send blocks since the process started, for waiting on sends and
// for checking that every block is freed exactly once.
struct SendBlockCounts
{
    std::uint64_t allocated;
    std::uint64_t freed;
    std::uint64_t delivered;  // freed after all their bytes were delivered
};
SendBlockCounts GetSendBlockCounts();

// Waits until every allocated block has been freed; false on timeout.
bool WaitForSendBlocksFreed(std::chrono::milliseconds timeout);
