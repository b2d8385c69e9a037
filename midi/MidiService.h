// The system MIDI service as the application sees it: destinations by index,
// their name and model, and asynchronous System Exclusive sends with a
// completion procedure. Backends (the ALSA sequencer, JACK, or an in-memory
// one for tests) stand behind it; ALSA's destinations come first, then JACK's.
//
// Called from the main thread only, except that completion procedures run
// wherever the backend finishes a send.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using MIDIEndpointRef = std::uint32_t;  // 0 stands for no destination
using ItemCount = std::size_t;
using OSStatus = std::int32_t;

inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kMIDIUnknownEndpoint = -10834;   // no such destination (any more)
inline constexpr OSStatus kMIDIUnknownProperty = -10835;
inline constexpr OSStatus kMIDIMessageSendErr = -10838;    // the backend could not take the send
inline constexpr OSStatus kMIDIServerGone = -10850;        // the MIDI server went away

// The address is the system's own name for a destination: an ALSA
// sequencer port "CLIENT:PORT" in numbers ("14:0"), a JACK port's full name
// ("midi-monitor:input").
enum MIDIPropertyKey { kMIDIPropertyName, kMIDIPropertyModel, kMIDIPropertyAddress };

struct MIDISysexSendRequest;
using MIDICompletionProc = void (*)(MIDISysexSendRequest* request);

struct MIDISysexSendRequest
{
    MIDIEndpointRef destination;
    const std::uint8_t* data;
    std::uint32_t bytesToSend;     // set to 0 once every byte has been delivered
    std::uint8_t complete;         // set to 1 once every byte has been delivered
    std::uint8_t reserved[3];
    MIDICompletionProc completionProc;
    void* completionRefCon;
};

ItemCount MIDIGetNumberOfDestinations();
// The destination at `index` at this moment, or 0 when there is none.
MIDIEndpointRef MIDIGetDestination(ItemCount index);
// Stores the property in `str`; on failure `str` is emptied and a status
// other than noErr is returned (for instance when the destination is gone).
OSStatus MIDIObjectGetStringProperty(MIDIEndpointRef endpoint, MIDIPropertyKey key, std::string& str);
// Starts sending request->bytesToSend bytes from request->data to
// request->destination and returns at once. The completion procedure is
// called exactly once for every request, whether the send was started or
// refused; `complete` then tells whether all bytes were delivered. The
// request must stay valid until then.
OSStatus MIDISendSysex(MIDISysexSendRequest* request);
// Why the last MIDISendSysex was refused: the failing call and
// its error text ("" when it was not refused).
const char* MIDISendSysexRefusalReason();
// Inside a completion procedure: why its send was not delivered ("" when it
// was). An undelivered send is also logged with its reason.
const char* MIDISysexFailureReason();

// One walk over the destinations: while an object of this class lives,
// every system is asked only once and the walk sees one consistent list.
// A system that does not answer within 1 s is left out of it, with a line
// to the log saying so.
class MIDIListing
{
public:
    MIDIListing();
    ~MIDIListing();
    MIDIListing(const MIDIListing&) = delete;
    MIDIListing& operator=(const MIDIListing&) = delete;
};

class MidiBackend;
// Starts loading the system backends on a worker thread, and opening each
// system on a thread of its own, so that all of it overlaps the program's
// own start-up; the first use of the service takes them, waiting if need be.
void MIDIServicePrepare();
// Replaces the service's backends (tests install an in-memory one). Until
// this is called, the first use of the service opens the ALSA and JACK
// backends. Endpoints handed out before become unknown.
void MIDIServiceUseBackends(std::vector<std::unique_ptr<MidiBackend>> backends);
// How the calling thread waits for a system's answer: the window keeps its
// event loop going meanwhile. Empty: the thread blocks.
using MidiWaiter = std::function<void(const std::function<bool()>& done,
                                      std::chrono::steady_clock::time_point deadline)>;
void MIDIServiceSetWaiter(MidiWaiter waiter);
// Closes the backends; outstanding sends are completed as undelivered.
// Returns false when a system did not close within half a second (it is
// stuck in a call): its thread is abandoned, so the process should then end
// with _Exit rather than run its exit handlers.
bool MIDIServiceShutDown();
