// The system MIDI service as the application sees it: destinations and
// sources by index, their name, model and address, and System Exclusive
// sends that end in the request's completion procedure. Each MIDI system
// (the ALSA sequencer, a JACK server, or a backend of the tests) has a lane
// of its own; ALSA's ports come first, then JACK's. Called from the main
// thread only; completion procedures run on the lane of the send's system.
//
// What the service waits for (a listing, a send's hand-over, closing) moves
// on whenever the main thread pumps it. A call below that returns an answer
// pumps it itself until it has one; the ...Then forms return at once and
// answer from the pump, which an event loop runs when MIDIServiceReturnedFd
// turns readable and at MIDIServiceNextLook.
#pragma once

#include "Lane.h"
#include "MidiBackend.h"

#include <optional>
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
// MIDISendSysex answered from the pump: `handedOver` gets the status it
// would return and, for a refusal, why.
using MIDIHandedOver = std::function<void(OSStatus status, const std::string& refusal)>;
void MIDISendSysexThen(MIDISysexSendRequest* request, MIDIHandedOver handedOver);

// From now on passes what `source` sends to `read`, on the source's lane,
// instead of what an earlier source of that system sent; an empty `read`
// stops. On failure `reason` says why.
OSStatus MIDIConnectSource(MIDIEndpointRef source, MIDIReadProc read, std::string& reason);
// The same, answered from the pump: `connected` gets the status and, on
// failure, why.
void MIDIConnectSourceThen(MIDIEndpointRef source, MIDIReadProc read, MIDIHandedOver connected);

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
// Asks every system for its destinations (or sources) afresh and runs
// `ready` from the pump once each has answered or been left out, inside a
// listing that holds what they said: the lookups it makes ask no more.
void MIDIListThen(bool sources, std::function<void()> ready);

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

// Readable when the service has something to look at: a lane call
// returned, or work was added.
int MIDIServiceReturnedFd();
// Moves on everything the service waits for. Never from inside itself: a
// step (and all it calls) must not wait, nor show a modal dialog.
void MIDIServicePump();
// True while the pump runs, for a caller that must defer what waits.
bool MIDIServicePumping();
// When the pump must look again though nothing returns (a deadline); none
// when nothing waits for one.
std::optional<LaneClock::time_point> MIDIServiceNextLook();
// Work of the caller's that the pump moves on: looked at on every pump
// until it returns nothing, otherwise the time by which to look again
// (LaneClock::time_point::max() when only a returned call can move it).
using MidiStep = std::function<std::optional<LaneClock::time_point>()>;
void MIDIServiceWatch(MidiStep step);
// Pumps until `done()`, sleeping in between; `alsoFd` (a signal pipe, say)
// readable wakes it too, the first time.
void MIDIServiceWaitFor(const std::function<bool()>& done, int alsoFd = -1);

// Lets what is under way end, within its deadlines, then closes the
// systems. A system left inside a call that waits on its server is left
// behind (Lane::AnyLeftBehind).
void MIDIServiceShutDown();
