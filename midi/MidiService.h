// The system MIDI service as the application sees it: destinations by
// index, their name and model, and System Exclusive sends that return at
// once and end in the request's completion procedure. Each MIDI system (the
// ALSA sequencer, a JACK server, or a backend of the tests) has a thread of
// its own, its lane; ALSA's destinations come first, then JACK's.
//
// Called from the main thread only; completion procedures run on the lane
// of the send's system.
#pragma once

#include "MidiTypes.h"
#include "SystemLane.h"

#include <memory>
#include <vector>

ItemCount MIDIGetNumberOfDestinations();
// The destination at `index` at this moment, or 0 when there is none.
MIDIEndpointRef MIDIGetDestination(ItemCount index);
// Stores the property in `str`; on failure `str` is emptied and a status
// other than noErr is returned (for instance when the destination is gone).
OSStatus MIDIObjectGetStringProperty(MIDIEndpointRef endpoint, MIDIPropertyKey key, std::string& str);
// Starts sending request->bytesToSend bytes from request->data to
// request->destination. It waits for the system to take the send for 100
// ms, and longer while the system is busy rather than waiting on its
// server. The completion procedure is called exactly once for every
// request, whether the send was taken or refused; `complete` then tells
// whether all bytes were delivered. The request must stay valid until then.
OSStatus MIDISendSysex(MIDISysexSendRequest* request);
// Why the last MIDISendSysex was refused ("" when it was not).
const char* MIDISendSysexRefusalReason();

// The sources: ports that send MIDI, by index as the destinations are.
ItemCount MIDIGetNumberOfSources();
MIDIEndpointRef MIDIGetSource(ItemCount index);
// From now on passes what `source` sends to `read`, on the source's lane,
// instead of what an earlier source of that system sent; an empty `read`
// stops. On failure `reason` says why.
OSStatus MIDIConnectSource(MIDIEndpointRef source, MIDIReadProc read, std::string& reason);

// One walk over the destinations or sources: while an object of this class
// lives, every system is asked only once and the walk sees one consistent
// list. A system that does not answer within 1 s is left out of it, with a
// line saying why.
class MIDIListing
{
public:
    MIDIListing();
    ~MIDIListing();
    MIDIListing(const MIDIListing&) = delete;
    MIDIListing& operator=(const MIDIListing&) = delete;
};

// Starts loading the system backends and opening each system on its lane,
// so that all of it overlaps the program's own start-up. Without it, the
// first call opens them.
void MIDIServicePrepare();
// Closes the systems in use and opens these instead.
void MIDIServiceUseSystems(std::vector<MidiSystem> systems);
// How the main thread sleeps while it waits for a lane; by default it
// blocks on MIDIServiceReturnedFd. The window keeps its event loop going.
void MIDIServiceSetWaiter(MidiWaiter waiter);
// An eventfd that turns readable whenever a lane call returns.
int MIDIServiceReturnedFd();
// Closes the systems. False when one was left inside a call (waiting on a
// server that does not answer): the process should then end with _Exit
// rather than run its exit handlers beside it.
bool MIDIServiceShutDown();
