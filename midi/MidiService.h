// The system MIDI service as the application sees it: destinations and
// sources by index, their name, model and address, and System Exclusive
// sends that return at once and end in the request's completion procedure.
// Each MIDI system (the ALSA sequencer, a JACK server, or a backend of the
// tests) has a thread of its own, its lane; ALSA's ports come first, then
// JACK's. Called from the main thread only; completion procedures run on the
// lane of the send's system.
#pragma once

#include "MidiTypes.h"
#include "SystemLane.h"

#include <vector>

ItemCount MIDIGetNumberOfDestinations();
// The destination at `index` at this moment, or 0 when there is none.
MIDIEndpointRef MIDIGetDestination(ItemCount index);
ItemCount MIDIGetNumberOfSources();
MIDIEndpointRef MIDIGetSource(ItemCount index);
// On failure (the port is gone, say) `str` is emptied and the status says why.
OSStatus MIDIObjectGetStringProperty(MIDIEndpointRef endpoint, MIDIPropertyKey key, std::string& str);

// Starts sending request->bytesToSend bytes from request->data to
// request->destination. It waits 100 ms for the system to take the send,
// longer while the system is busy rather than waiting on its server. The
// completion procedure is called exactly once for every request, taken or
// refused; `complete` then tells whether all bytes were delivered. The
// request must stay valid until then.
OSStatus MIDISendSysex(MIDISysexSendRequest* request);
// Why the last MIDISendSysex was refused ("" when it was not).
const char* MIDISendSysexRefusalReason();

// From now on passes what `source` sends to `read`, on the source's lane,
// instead of what an earlier source of that system sent; an empty `read`
// stops. On failure `reason` says why.
OSStatus MIDIConnectSource(MIDIEndpointRef source, MIDIReadProc read, std::string& reason);

// While one lives, every system is asked only once, and a walk over the
// ports sees one consistent list. A system that does not answer within 1 s
// is left out of it, with a line saying why.
struct MIDIListing
{
    MIDIListing();
    ~MIDIListing();
    MIDIListing(const MIDIListing&) = delete;
    MIDIListing& operator=(const MIDIListing&) = delete;
};

// While watching, MIDIServicePortsChangedFd, an eventfd, turns readable
// whenever a system says its ports came, went or changed (the ALSA
// sequencer's announce port, JACK's port registration callback), on its
// lane: nothing is polled. Each system is told only of a change.
void MIDIServiceWatchPorts(bool watch);
int MIDIServicePortsChangedFd();

// Starts loading the system backends and opening each system on its lane,
// overlapping the program's own start-up; otherwise the first call does it.
void MIDIServicePrepare();
// Closes the systems in use and opens these instead.
void MIDIServiceUseSystems(std::vector<MidiSystem> systems);
// How the main thread sleeps while it waits for a lane; by default it
// blocks on MIDIServiceReturnedFd, an eventfd that turns readable whenever
// a lane call returns. The window keeps its event loop going instead.
void MIDIServiceSetWaiter(MidiWaiter waiter);
int MIDIServiceReturnedFd();
// Closes the systems. False when one was left inside a call (waiting on a
// server that does not answer): the process should then end with _Exit
// rather than run its exit handlers beside it.
bool MIDIServiceShutDown();
