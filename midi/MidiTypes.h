// What every layer of MIDI output shares, from the backends up: status
// codes, destinations, and the System Exclusive send request, which ends in
// its own completion procedure.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

using MIDIEndpointRef = std::uint32_t;  // 0 stands for no destination
using ItemCount = std::size_t;
using OSStatus = std::int32_t;

inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kMIDIUnknownEndpoint = -10834;  // no such destination (any more)
inline constexpr OSStatus kMIDIUnknownProperty = -10835;
inline constexpr OSStatus kMIDIMessageSendErr = -10838;  // the backend could not take the send
inline constexpr OSStatus kMIDIServerGone = -10850;      // the MIDI server went away

// The address is the system's own name for a port: an ALSA sequencer port
// "CLIENT:PORT" in numbers ("14:0"), a JACK port's full name
// ("midi-monitor:input").
enum MIDIPropertyKey { kMIDIPropertyName, kMIDIPropertyModel, kMIDIPropertyAddress };

// A destination (a port that takes MIDI) or a source (one that sends it).
struct MidiPort
{
    std::string address;
    std::string name;
    std::string model;
};

// What a source sends, in order: its bytes as they arrive, in whatever
// pieces, and word of input lost between them (the system's buffer
// overran, or an event was too long), `why` saying how. Empty: nothing is read.
struct MIDIReadProc
{
    std::function<void(const std::uint8_t* bytes, std::size_t size)> bytes;
    std::function<void(const std::string& why)> lost;
    explicit operator bool() const { return static_cast<bool>(bytes); }
};

struct MIDISysexSendRequest;
using MIDICompletionProc = void (*)(MIDISysexSendRequest* request);

struct MIDISysexSendRequest
{
    MIDIEndpointRef destination;
    const std::uint8_t* data;
    std::uint32_t bytesToSend;  // set to 0 once every byte has been delivered
    std::uint8_t complete;      // set to 1 once every byte has been delivered
    std::uint8_t reserved[3];
    MIDICompletionProc completionProc;
    void* completionRefCon;
    // In: the earliest time the message may start, in nanoseconds of
    // LaneClock, 0 for at once; the backend places it there. Out, once
    // delivered: the time it was placed at, where the backend knows it.
    std::int64_t timeStamp;
};

// Ends a request: marks it delivered or not and calls its completion
// procedure, which may ask MIDISysexFailureReason why.
void CompleteSysexRequest(MIDISysexSendRequest* request, bool delivered, const char* reason);

// Inside a completion procedure: why its send was not delivered ("" when it
// was).
const char* MIDISysexFailureReason();
