// What the MIDI service needs of one backend.
#pragma once

#include "MidiService.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct MidiDestination
{
    std::string address;  // the backend's own stable key ("client:port", a port name)
    std::string name;
    std::string model;
};

// How a backend reports a finished send: delivered, or not and why (the
// failing call and its error text). Set by the service; it may be called
// from any thread but a realtime one.
using SysexFinishedHandler = void (*)(MIDISysexSendRequest* request, bool delivered, const char* reason);

class MidiBackend
{
public:
    virtual ~MidiBackend() = default;

    // The destinations at this moment, in the backend's own order.
    virtual std::vector<MidiDestination> Destinations() = 0;

    // Starts sending `request` to the destination at `address`. When it
    // returns noErr the backend owns the request until it has called
    // Finished for it, exactly once, from any thread other than a realtime
    // one (at the latest when the backend is destroyed). When it returns an
    // error it must not touch the request again, and `reason` says why.
    virtual OSStatus StartSysex(const std::string& address, MIDISysexSendRequest* request, std::string& reason) = 0;

    void SetFinishedHandler(SysexFinishedHandler handler) { m_finished = handler; }

protected:
    inline void Finished(MIDISysexSendRequest* request, bool delivered, const char* reason) const;

private:
    SysexFinishedHandler m_finished = nullptr;
};

// Marks the request delivered (or not) and calls its completion procedure.
inline void CompleteSysexRequest(MIDISysexSendRequest* request, bool delivered)
{
    if (delivered) {
        request->bytesToSend = 0;
        request->complete = 1;
    }
    if (request->completionProc != nullptr)
        request->completionProc(request);
}

// A MIDI system the service opens by default, and how to open its backend.
struct MidiSystem
{
    std::string name;  // for messages: "ALSA sequencer", "JACK server"
    std::function<std::unique_ptr<MidiBackend>()> open;
    // What it means when its thread waits on a lock for long, and what to
    // do about it; "" when nothing more is known.
    std::string whenLocked = "";
};

void MidiBackend::Finished(MIDISysexSendRequest* request, bool delivered, const char* reason) const
{
    if (m_finished != nullptr)
        m_finished(request, delivered, reason);
    else
        CompleteSysexRequest(request, delivered);
}

// The systems the service opens by default: ALSA, then JACK. Their backends
// live in a module loaded on first use, so a program that never lists or
// sends (qwdump pack) doesn't pay for loading libasound and libjack.
std::vector<MidiSystem> LoadSystemMidiSystems();
