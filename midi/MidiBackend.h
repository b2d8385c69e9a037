// What the MIDI service needs of one MIDI system's backend. Every call is
// made on that system's own thread, its lane (Lane.h), one at a time.
#pragma once

#include "MidiTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class MidiBackend
{
public:
    // Completes what it still holds, undelivered.
    virtual ~MidiBackend() = default;

    // The destinations, or the sources, at this moment, in the backend's
    // own order.
    virtual std::vector<MidiPort> Ports(bool sources) = 0;

    // Sends `request` to the destination at `address`, or queues it. On noErr
    // the backend completes the request (Complete) exactly once, now or
    // later; otherwise it leaves it alone and `reason` says why.
    virtual OSStatus Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason) = 0;

    // From now on passes what the source at `address` sends to `read`, on
    // this thread, instead of what an earlier one sent; an empty `read`
    // stops receiving. On failure `reason` says why.
    virtual OSStatus Receive(const std::string& address, MIDIReadProc read, std::string& reason) = 0;

    // From now on calls `changed`, on this thread, whenever the system says
    // that ports came, went or changed; an empty one stops. The default
    // never calls it.
    virtual void WatchPorts(std::function<void()> changed) { (void)changed; }

    // A descriptor that turns readable when the backend has something to
    // finish on its thread (OnWake); -1 for none.
    virtual int WakeFd() const { return -1; }
    virtual void OnWake() {}

    // How the backend ends a send it took: the program's own way, which
    // the service hands it (a backend in a module has no copy of its own).
    using Completion = void (*)(MIDISysexSendRequest*, bool delivered, const char* reason);
    void SetCompletion(Completion completion) { m_completion = completion; }

protected:
    void Complete(MIDISysexSendRequest* request, bool delivered, const char* reason) const
    {
        m_completion(request, delivered, reason);
    }

private:
    Completion m_completion = nullptr;
};

// A MIDI system the service opens, and how to open its backend (null when
// the system is absent).
struct MidiSystem
{
    std::string name;  // for messages: "ALSA sequencer", "JACK server"
    std::function<std::unique_ptr<MidiBackend>()> open;
    // What it means when its thread waits on a lock for long, and what to
    // do about it; "" when nothing more is known.
    std::string whenLocked = "";
    // Its library keeps no state shared with other processes: a lock its
    // thread waits on is its own (JudgeOverdue).
    bool privateLocks = false;
};

// The systems the service opens by default: ALSA, then JACK. Their backends
// live in a module loaded on first use, so a program that never lists or
// sends (qwdump pack) doesn't pay for loading libasound and libjack.
std::vector<MidiSystem> LoadSystemMidiSystems();
using ListMidiSystemsFn = void (*)(const std::string& clientName, std::vector<MidiSystem>& systems);
