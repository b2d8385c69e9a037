#include "MidiService.h"

#include "SystemLog.h"

#include <algorithm>
#include <future>
#include <optional>
#include <set>

#include <poll.h>
#include <sys/eventfd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Lanes = std::vector<std::shared_ptr<SystemLane>>;

// How long a listing waits for a system, a send for its hand-over, and
// closing for a system that is not held up already.
constexpr std::chrono::milliseconds kListingDeadline{1000};
constexpr std::chrono::milliseconds kHandOverWait{100};
constexpr std::chrono::milliseconds kCloseDeadline{500};

struct Listed
{
    std::size_t lane;
    MidiPort port;
};

// Endpoint reference r names keys[r - 1]: a port by its direction, lane and
// address, so it keeps meaning the same port while indices shift.
struct Key
{
    bool source;
    std::size_t lane;
    std::string address;
    bool operator==(const Key& other) const
    {
        return source == other.source && lane == other.lane && address == other.address;
    }
};

// Never destroyed: a lane's thread may still be inside a call at exit.
struct Service
{
    int returned = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int portsChanged = -1;  // made when ports are first watched
    bool watching = false;  // the lanes in use were last asked to watch
    std::future<Lanes> preparing;
    std::optional<Lanes> lanes;
    MidiWaiter waiter;
    std::set<std::size_t> reported;  // lanes whose overrun has been said
    int listingDepth = 0;
    std::optional<std::vector<Listed>> snapshot[2];  // destinations, sources
    std::vector<Key> keys;
    std::string lastRefusal;
};

Service& TheService()
{
    static auto* service = new Service;
    return *service;
}

Lanes StartLanes(std::vector<MidiSystem> systems)
{
    Lanes lanes;
    for (MidiSystem& system : systems)
        lanes.push_back(SystemLane::Start(std::move(system), TheService().returned));
    return lanes;
}

Lanes& TheLanes()
{
    Service& service = TheService();
    if (!service.lanes)
        service.lanes = service.preparing.valid() ? service.preparing.get() : StartLanes(LoadSystemMidiSystems());
    return *service.lanes;
}

void Sleep(MidiDeadline until)
{
    Service& service = TheService();
    if (service.waiter) {
        service.waiter(until);
        return;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
    pollfd returned{service.returned, POLLIN, 0};
    if (left > 0 && ::poll(&returned, 1, static_cast<int>(left)) > 0) {
        eventfd_t ignored;
        ::eventfd_read(service.returned, &ignored);
    }
}

// Says why a system's call did not end in time, and what follows; once
// for each system.
void ReportOverrun(std::size_t lane, LaneWait wait, const char* consequence)
{
    if (!TheService().reported.insert(lane).second)
        return;
    const MidiSystem& system = TheLanes()[lane]->System();
    const char* name = system.name.c_str();
    if (wait == LaneWait::kNotAnswering)
        ReportProblem("%s not answering within %d s: %s", name, static_cast<int>(kListingDeadline.count() / 1000),
                      consequence);
    else if (wait == LaneWait::kLocked && !system.whenLocked.empty())
        ReportProblem("%s; %s", system.whenLocked.c_str(), consequence);
    else if (wait == LaneWait::kLocked)
        ReportProblem("%s waiting on a lock for %d s: %s", name, static_cast<int>(kLockPatience.count()), consequence);
    else
        ReportProblem("%s still busy after %d s: %s", name, static_cast<int>(kBusyLimit.count()), consequence);
}

// Asks every system at once and waits for each until one deadline. A
// system still held up by an earlier call that waits on its server is not
// asked again.
std::vector<Listed> TakeListing(bool sources)
{
    const Lanes& lanes = TheLanes();
    const MidiDeadline deadline = Clock::now() + kListingDeadline;
    std::vector<std::shared_ptr<SystemLane::Call>> calls(lanes.size());
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        if (!lanes[i]->StuckOnServerFor(kListingDeadline))
            calls[i] = lanes[i]->Post([sources](MidiBackend* backend) {
                return LaneReply{noErr, "", backend ? backend->Ports(sources) : std::vector<MidiPort>()};
            });
    }
    std::vector<Listed> all;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        const LaneWait wait = calls[i] ? lanes[i]->Wait(*calls[i], deadline, Sleep) : LaneWait::kNotAnswering;
        if (wait != LaneWait::kDone) {
            ReportOverrun(i, wait, sources ? "its MIDI sources are left out" : "its MIDI destinations are left out");
            continue;
        }
        for (const MidiPort& port : calls[i]->Reply().ports)
            all.push_back({i, port});
    }
    return all;
}

// Within a listing scope every system is asked once.
const std::vector<Listed>& ListAll(bool sources)
{
    Service& service = TheService();
    auto& snapshot = service.snapshot[sources];
    if (!snapshot || service.listingDepth == 0)
        snapshot = TakeListing(sources);
    return *snapshot;
}

MIDIEndpointRef EndpointAt(bool sources, ItemCount index)
{
    const std::vector<Listed>& all = ListAll(sources);
    if (index >= all.size())
        return 0;
    auto& keys = TheService().keys;
    const Key key{sources, all[index].lane, all[index].port.address};
    const auto known = static_cast<std::size_t>(std::find(keys.begin(), keys.end(), key) - keys.begin());
    if (known == keys.size())
        keys.push_back(key);
    return static_cast<MIDIEndpointRef>(known + 1);
}

// The key of a reference, or nullptr when unknown.
const Key* KeyFor(MIDIEndpointRef ref)
{
    const auto& keys = TheService().keys;
    return ref == 0 || ref > keys.size() ? nullptr : &keys[ref - 1];
}

// Posts a call that hands something over to a system (a send, or a source
// to listen to) and waits for it; null when the system took longer, while
// waiting on its server, and the call was left to it.
std::shared_ptr<SystemLane::Call> HandOver(std::size_t lane, SystemLane::Work work,
                                           std::function<void(const LaneReply&)> orphaned = {})
{
    const auto call = TheLanes()[lane]->Post(std::move(work), std::move(orphaned));
    const bool done = TheLanes()[lane]->Wait(*call, Clock::now() + kHandOverWait, Sleep) == LaneWait::kDone;
    return done || !call->Abandon() ? call : nullptr;
}

}  // namespace

ItemCount MIDIGetNumberOfDestinations()
{
    return ListAll(false).size();
}

MIDIEndpointRef MIDIGetDestination(ItemCount index)
{
    return EndpointAt(false, index);
}

ItemCount MIDIGetNumberOfSources()
{
    return ListAll(true).size();
}

MIDIEndpointRef MIDIGetSource(ItemCount index)
{
    return EndpointAt(true, index);
}

OSStatus MIDIObjectGetStringProperty(MIDIEndpointRef endpoint, MIDIPropertyKey key, std::string& str)
{
    str.clear();
    const auto* where = KeyFor(endpoint);
    if (where == nullptr)
        return kMIDIUnknownEndpoint;
    if (key != kMIDIPropertyName && key != kMIDIPropertyModel && key != kMIDIPropertyAddress)
        return kMIDIUnknownProperty;
    for (const Listed& listed : ListAll(where->source)) {
        const MidiPort& port = listed.port;
        if (listed.lane == where->lane && port.address == where->address) {
            str = key == kMIDIPropertyName ? port.name : key == kMIDIPropertyModel ? port.model : port.address;
            return noErr;
        }
    }
    return kMIDIUnknownEndpoint;
}

OSStatus MIDISendSysex(MIDISysexSendRequest* request)
{
    if (request == nullptr)
        return kMIDIMessageSendErr;
    Service& service = TheService();
    service.lastRefusal.clear();
    const Key* where = KeyFor(request->destination);
    if (where == nullptr || where->source || where->lane >= TheLanes().size()) {
        service.lastRefusal = "no such destination";
        CompleteSysexRequest(request, false, service.lastRefusal.c_str(), false);
        return kMIDIUnknownEndpoint;
    }
    // A refusal after the caller stopped waiting completes the request there;
    // a system still waiting on its server is left to finish the hand-over:
    // the send's completion will tell.
    const auto call = HandOver(
        where->lane,
        [address = where->address, request](MidiBackend* backend) {
            LaneReply reply{kMIDIUnknownEndpoint, "the MIDI system is not available", {}};
            if (backend)
                reply.status = backend->Send(address, request, reply.reason);
            return reply;
        },
        [request](const LaneReply& reply) {
            if (reply.status != noErr) {
                LogLine("MIDI send refused: %s", reply.reason.c_str());
                CompleteSysexRequest(request, false, reply.reason.c_str(), false);
            }
        });
    if (call == nullptr)
        return noErr;
    if (call->Reply().status != noErr) {
        service.lastRefusal = call->Reply().reason;
        CompleteSysexRequest(request, false, service.lastRefusal.c_str(), false);
    }
    return call->Reply().status;
}

const char* MIDISendSysexRefusalReason()
{
    return TheService().lastRefusal.c_str();
}

OSStatus MIDIConnectSource(MIDIEndpointRef source, MIDIReadProc read, std::string& reason)
{
    const Key* where = KeyFor(source);
    if (where == nullptr || !where->source || where->lane >= TheLanes().size()) {
        reason = "no such source";
        return kMIDIUnknownEndpoint;
    }
    const auto call = HandOver(where->lane, [address = where->address, read](MidiBackend* backend) {
        LaneReply reply{kMIDIUnknownEndpoint, "the MIDI system is not available", {}};
        if (backend)
            reply.status = backend->Receive(address, read, reply.reason);
        return reply;
    });
    if (call == nullptr) {
        reason = TheLanes()[where->lane]->System().name + " not answering";
        return kMIDIServerGone;
    }
    reason = call->Reply().reason;
    return call->Reply().status;
}

MIDIListing::MIDIListing()
{
    ++TheService().listingDepth;
}

MIDIListing::~MIDIListing()
{
    if (--TheService().listingDepth == 0)
        TheService().snapshot[0] = TheService().snapshot[1] = std::nullopt;
}

void MIDIServiceWatchPorts(bool watch)
{
    Service& service = TheService();
    if (service.watching == watch)
        return;
    service.watching = watch;
    // Not waited for: nothing comes back but the word that ports changed.
    for (const auto& lane : TheLanes())
        lane->Post([watch, fd = MIDIServicePortsChangedFd()](MidiBackend* backend) {
            if (backend)
                backend->WatchPorts(watch ? std::function<void()>([fd] { ::eventfd_write(fd, 1); }) : nullptr);
            return LaneReply{};
        });
}

int MIDIServicePortsChangedFd()
{
    Service& service = TheService();
    if (service.portsChanged < 0)
        service.portsChanged = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return service.portsChanged;
}

void MIDIServicePrepare()
{
    Service& service = TheService();
    if (!service.lanes && !service.preparing.valid())
        service.preparing = std::async(std::launch::async, [] { return StartLanes(LoadSystemMidiSystems()); });
}

void MIDIServiceUseSystems(std::vector<MidiSystem> systems)
{
    MIDIServiceShutDown();
    TheService().lanes = StartLanes(std::move(systems));
}

void MIDIServiceSetWaiter(MidiWaiter waiter)
{
    TheService().waiter = std::move(waiter);
}

int MIDIServiceReturnedFd()
{
    return TheService().returned;
}

bool MIDIServiceShutDown()
{
    Service& service = TheService();
    if (!service.lanes && !service.preparing.valid())
        return true;
    const Lanes& lanes = TheLanes();
    const auto now = Clock::now();
    bool closed = true;
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        // A lane held up by a call is given a send's patience from when that
        // call began: one that waits on its server is left at once.
        const auto busy = lanes[i]->BusyFor();
        const LaneWait wait =
            lanes[i]->Close(busy > kHandOverWait ? now - busy + kHandOverWait : now + kCloseDeadline, Sleep);
        if (wait != LaneWait::kDone)
            ReportOverrun(i, wait, "it was not closed");
        closed = closed && wait == LaneWait::kDone;
    }
    service.lanes.reset();
    service.watching = false;
    service.reported.clear();
    service.snapshot[0] = service.snapshot[1] = std::nullopt;
    service.keys.clear();
    return closed;
}
