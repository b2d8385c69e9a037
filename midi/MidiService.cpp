#include "MidiService.h"

#include "SystemLog.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <set>
#include <utility>

#include <poll.h>
#include <sys/eventfd.h>

namespace {

using Clock = LaneClock;
constexpr Clock::time_point kOnReturn = Clock::time_point::max();

// How long a listing waits for a system, a send for its hand-over, and
// closing for a system that is not held up already.
constexpr std::chrono::milliseconds kListingDeadline{1000};
constexpr std::chrono::milliseconds kHandOverWait{100};
constexpr std::chrono::milliseconds kCloseDeadline{500};

// One MIDI system on its lane. The backend is the lane's own: opened by its
// first call, closed by its last.
struct System
{
    MidiSystem system;
    std::shared_ptr<Lane> lane;
    std::shared_ptr<std::unique_ptr<MidiBackend>> backend = std::make_shared<std::unique_ptr<MidiBackend>>();
};
using Systems = std::vector<std::shared_ptr<System>>;

// What a call into a backend gives back.
struct LaneReply
{
    OSStatus status = noErr;
    std::string reason;
    std::vector<MidiPort> ports;
};
using Work = std::function<LaneReply(MidiBackend*)>;

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

struct Step
{
    MidiStep look;
    Clock::time_point again;
};

// Never destroyed: a lane's thread may still be inside a call at exit.
struct Service
{
    int returned = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int portsChanged = -1;  // made when ports are first watched
    bool watching = false;  // the systems in use were last asked to watch
    std::future<Systems> preparing;
    std::optional<Systems> systems;
    std::set<std::size_t> reported;  // lanes whose overrun has been said
    int listingDepth = 0;
    std::optional<std::vector<Listed>> snapshot[2];  // destinations, sources
    std::vector<Key> keys;
    std::string lastRefusal;
    std::vector<Step> steps;
    bool pumping = false;  // inside MIDIServicePump
};

Service& TheService()
{
    static auto* service = new Service;
    return *service;
}

// A backend's end of a send it took.
void DeliveryEnded(MIDISysexSendRequest* request, bool delivered, const char* reason)
{
    if (!delivered)
        LogLine("MIDI send not delivered: %s", reason != nullptr && *reason != '\0' ? reason : "no reason given");
    CompleteSysexRequest(request, delivered, reason);
}

std::shared_ptr<const Lane::Call> PostTo(const System& system, Work work, std::shared_ptr<LaneReply> reply)
{
    return system.lane->Post(
        [backend = system.backend, work = std::move(work), reply] { *reply = work(backend->get()); });
}

Systems StartSystems(std::vector<MidiSystem> list)
{
    Systems systems;
    for (MidiSystem& each : list) {
        auto system = std::make_shared<System>();
        system->system = std::move(each);
        system->lane = Lane::Start(TheService().returned);
        // Opening is the lane's first call: it may block like any other.
        system->lane->Post([open = system->system.open, backend = system->backend, lane = system->lane.get()] {
            *backend = open ? open() : nullptr;
            if (MidiBackend* opened = backend->get()) {
                opened->SetCompletion(DeliveryEnded);
                lane->Watch(opened->WakeFd(), [opened] { opened->OnWake(); });
            }
        });
        systems.push_back(std::move(system));
    }
    return systems;
}

const Systems& TheSystems()
{
    Service& service = TheService();
    if (!service.systems)
        service.systems = service.preparing.valid() ? service.preparing.get() : StartSystems(LoadSystemMidiSystems());
    return *service.systems;
}

void Sleep(std::optional<Clock::time_point> until, int alsoFd)
{
    int ms = -1;
    if (until)
        ms = static_cast<int>(
            std::max<Clock::rep>(0, std::chrono::ceil<std::chrono::milliseconds>(*until - Clock::now()).count()));
    pollfd ready[2] = {{TheService().returned, POLLIN, 0}, {alsoFd, POLLIN, 0}};
    ::poll(ready, 2, ms);
}

// Says why a system's call did not end in time, and what follows; once
// for each system.
void ReportOverrun(std::size_t lane, LaneWait wait, const char* consequence)
{
    if (!TheService().reported.insert(lane).second)
        return;
    const MidiSystem& system = TheSystems()[lane]->system;
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

// Asks every system at once and hands `ready` their ports once each has
// answered or passed the one deadline. A system still held up by an earlier
// call that waits on its server is not asked again.
void StartListing(bool sources, std::function<void(std::vector<Listed>)> ready)
{
    struct Asked
    {
        std::shared_ptr<System> system;
        std::shared_ptr<LaneReply> reply = std::make_shared<LaneReply>();
        std::shared_ptr<const Lane::Call> call;
        std::optional<LaneWait> wait;
    };
    auto asked = std::make_shared<std::vector<Asked>>();
    for (const auto& system : TheSystems()) {
        asked->push_back({system, std::make_shared<LaneReply>(), nullptr, std::nullopt});
        if (system->lane->StuckOnServerFor(kListingDeadline, system->system.privateLocks))
            asked->back().wait = LaneWait::kNotAnswering;
        else
            asked->back().call = PostTo(
                *system,
                [sources](MidiBackend* backend) {
                    return LaneReply{noErr, "", backend ? backend->Ports(sources) : std::vector<MidiPort>()};
                },
                asked->back().reply);
    }
    const Clock::time_point deadline = Clock::now() + kListingDeadline;
    MIDIServiceWatch([asked, deadline, sources, ready = std::move(ready)]() -> std::optional<Clock::time_point> {
        Clock::time_point next = kOnReturn;
        for (Asked& each : *asked) {
            Clock::time_point again;
            if (!each.wait)
                each.wait = each.system->lane->Look(*each.call, deadline, each.system->system.privateLocks, again);
            if (!each.wait)
                next = std::min(next, again);
        }
        if (next != kOnReturn)
            return next;
        std::vector<Listed> all;
        for (std::size_t i = 0; i < asked->size(); ++i) {
            const Asked& each = (*asked)[i];
            if (*each.wait != LaneWait::kDone) {
                ReportOverrun(i, *each.wait,
                              sources ? "its MIDI sources are left out" : "its MIDI destinations are left out");
                continue;
            }
            for (const MidiPort& port : each.reply->ports)
                all.push_back({i, port});
        }
        ready(std::move(all));
        return std::nullopt;
    });
}

// Within a listing scope every system is asked once.
const std::vector<Listed>& ListAll(bool sources)
{
    Service& service = TheService();
    auto& snapshot = service.snapshot[sources];
    if (!snapshot || service.listingDepth == 0) {
        std::optional<std::vector<Listed>> taken;
        StartListing(sources, [&taken](std::vector<Listed> all) { taken = std::move(all); });
        MIDIServiceWaitFor([&taken] { return taken.has_value(); });
        snapshot = std::move(taken);
    }
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

// Hands something over to a system (a send, or a source to listen to):
// `answered` gets the reply from the pump once the call has returned, or
// null once it has had kHandOverWait and the lane's thread is given up on
// (it waits on its server). The call is then the lane's to finish, and
// `late` gets its reply when it does.
void HandOver(std::size_t lane, Work work, std::function<void(const LaneReply*)> answered,
              std::function<void(const LaneReply&)> late = {})
{
    const std::shared_ptr<System> system = TheSystems()[lane];
    auto reply = std::make_shared<LaneReply>();
    const auto call = PostTo(*system, std::move(work), reply);
    const Clock::time_point deadline = Clock::now() + kHandOverWait;
    MIDIServiceWatch([system, reply, call, deadline, answered = std::move(answered), late = std::move(late),
                      leftToLane = false]() mutable -> std::optional<Clock::time_point> {
        if (!leftToLane) {
            Clock::time_point again;
            const auto wait = system->lane->Look(*call, deadline, system->system.privateLocks, again);
            if (!wait)
                return again;
            leftToLane = *wait != LaneWait::kDone;
            answered(leftToLane ? nullptr : reply.get());
            if (!leftToLane || !late)
                return std::nullopt;
        }
        if (!call->Done())
            return kOnReturn;
        late(*reply);
        return std::nullopt;
    });
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

void MIDISendSysexThen(MIDISysexSendRequest* request, MIDIHandedOver handedOver)
{
    if (request == nullptr) {
        handedOver(kMIDIMessageSendErr, "no request");
        return;
    }
    const Key* where = KeyFor(request->destination);
    if (where == nullptr || where->source || where->lane >= TheSystems().size()) {
        CompleteSysexRequest(request, false, "no such destination");
        handedOver(kMIDIUnknownEndpoint, "no such destination");
        return;
    }
    HandOver(
        where->lane,
        [address = where->address, request](MidiBackend* backend) {
            LaneReply reply{kMIDIUnknownEndpoint, "the MIDI system is not available", {}};
            if (backend)
                reply.status = backend->Send(address, request, reply.reason);
            // The lane ends what it was handed: a send the backend refused
            // is completed here, and only here.
            if (reply.status != noErr)
                CompleteSysexRequest(request, false, reply.reason.c_str());
            return reply;
        },
        // A system still waiting on its server is left to finish the
        // hand-over: the send's completion will tell.
        [handedOver = std::move(handedOver)](const LaneReply* reply) {
            const bool refused = reply != nullptr && reply->status != noErr;
            handedOver(reply != nullptr ? reply->status : noErr, refused ? reply->reason : "");
        },
        [](const LaneReply& reply) {
            if (reply.status != noErr)
                LogLine("MIDI send refused: %s", reply.reason.c_str());
        });
}

OSStatus MIDISendSysex(MIDISysexSendRequest* request)
{
    std::optional<OSStatus> status;
    MIDISendSysexThen(request, [&status](OSStatus handedOver, const std::string& refusal) {
        status = handedOver;
        TheService().lastRefusal = refusal;
    });
    MIDIServiceWaitFor([&status] { return status.has_value(); });
    return *status;
}

const char* MIDISendSysexRefusalReason()
{
    return TheService().lastRefusal.c_str();
}

void MIDIConnectSourceThen(MIDIEndpointRef source, MIDIReadProc read, MIDIHandedOver connected)
{
    const Key* where = KeyFor(source);
    if (where == nullptr || !where->source || where->lane >= TheSystems().size()) {
        connected(kMIDIUnknownEndpoint, "no such source");
        return;
    }
    HandOver(
        where->lane,
        [address = where->address, read = std::move(read)](MidiBackend* backend) {
            LaneReply reply{kMIDIUnknownEndpoint, "the MIDI system is not available", {}};
            if (backend)
                reply.status = backend->Receive(address, read, reply.reason);
            return reply;
        },
        [connected = std::move(connected), name = TheSystems()[where->lane]->system.name](const LaneReply* reply) {
            if (reply == nullptr)
                connected(kMIDIServerGone, name + " not answering");
            else
                connected(reply->status, reply->reason);
        });
}

OSStatus MIDIConnectSource(MIDIEndpointRef source, MIDIReadProc read, std::string& reason)
{
    std::optional<OSStatus> status;
    MIDIConnectSourceThen(source, std::move(read), [&](OSStatus connected, const std::string& why) {
        status = connected;
        reason = why;
    });
    MIDIServiceWaitFor([&status] { return status.has_value(); });
    return *status;
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
    for (const auto& system : TheSystems())
        system->lane->Post([watch, fd = MIDIServicePortsChangedFd(), backend = system->backend] {
            if (MidiBackend* opened = backend->get())
                opened->WatchPorts(watch ? std::function<void()>([fd] { ::eventfd_write(fd, 1); }) : nullptr);
        });
}

int MIDIServicePortsChangedFd()
{
    Service& service = TheService();
    if (service.portsChanged < 0)
        service.portsChanged = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return service.portsChanged;
}

void MIDIListThen(bool sources, std::function<void()> ready)
{
    StartListing(sources, [sources, ready = std::move(ready)](std::vector<Listed> all) {
        auto& snapshot = TheService().snapshot[sources];
        const MIDIListing listing;
        std::optional<std::vector<Listed>> outer = std::exchange(snapshot, std::move(all));
        ready();
        snapshot = std::move(outer);
    });
}

void MIDIServicePrepare()
{
    Service& service = TheService();
    if (!service.systems && !service.preparing.valid())
        service.preparing = std::async(std::launch::async, [] { return StartSystems(LoadSystemMidiSystems()); });
}

void MIDIServiceUseSystems(std::vector<MidiSystem> systems)
{
    MIDIServiceShutDown();
    TheService().systems = StartSystems(std::move(systems));
}

int MIDIServiceReturnedFd()
{
    return TheService().returned;
}

void MIDIServicePump()
{
    Service& service = TheService();
    // A step never waits (what it shows the user is shown once the pump has
    // returned), so a pump is never inside another: what a step adds is
    // looked at on the next one.
    if (service.pumping) {
        std::fprintf(stderr, "qwd: the MIDI service was pumped from inside its own pump\n");
        std::abort();
    }
    service.pumping = true;
    eventfd_t ignored;
    ::eventfd_read(service.returned, &ignored);
    std::vector<Step> looking = std::move(service.steps);
    service.steps.clear();
    std::vector<Step> waiting;
    for (Step& step : looking) {
        if (const auto again = step.look())
            waiting.push_back({std::move(step.look), *again});
    }
    for (Step& added : service.steps)
        waiting.push_back(std::move(added));
    service.steps = std::move(waiting);
    service.pumping = false;
}

bool MIDIServicePumping()
{
    return TheService().pumping;
}

std::optional<LaneClock::time_point> MIDIServiceNextLook()
{
    Clock::time_point next = kOnReturn;
    for (const Step& step : TheService().steps)
        next = std::min(next, step.again);
    return next == kOnReturn ? std::nullopt : std::optional(next);
}

void MIDIServiceWatch(MidiStep step)
{
    Service& service = TheService();
    service.steps.push_back({std::move(step), Clock::now()});
    ::eventfd_write(service.returned, 1);
}

void MIDIServiceWaitFor(const std::function<bool()>& done, int alsoFd)
{
    while (!done()) {
        MIDIServicePump();
        if (done())
            return;
        pollfd also{alsoFd, POLLIN, 0};
        if (alsoFd >= 0 && ::poll(&also, 1, 0) > 0)
            alsoFd = -1;  // answered: it stays readable
        Sleep(MIDIServiceNextLook(), alsoFd);
    }
}

void MIDIServiceShutDown()
{
    Service& service = TheService();
    if (!service.systems && !service.preparing.valid())
        return;
    MIDIServiceWaitFor([&service] {
        return std::all_of(service.steps.begin(), service.steps.end(),
                           [](const Step& step) { return step.again == kOnReturn; });
    });
    const Systems& systems = TheSystems();
    const auto now = Clock::now();
    std::vector<std::shared_ptr<const Lane::Call>> closed;
    for (const auto& system : systems) {
        system->lane->Post([backend = system->backend, lane = system->lane.get()] {
            lane->Watch(-1, nullptr);
            backend->reset();
        });
        closed.push_back(system->lane->Close());
    }
    for (std::size_t i = 0; i < systems.size(); ++i) {
        // A lane held up by a call is given a send's patience from when that
        // call began: one that waits on its server is left at once.
        const Lane& lane = *systems[i]->lane;
        const auto busy = lane.BusyFor();
        const auto deadline = busy > kHandOverWait ? now - busy + kHandOverWait : now + kCloseDeadline;
        // The eventfd stays readable until read: what returned before is
        // taken first, or the wait would spin until the lane closes.
        const LaneWait wait = lane.Wait(
            *closed[i], [deadline] { return deadline; }, systems[i]->system.privateLocks,
            [&service, &call = *closed[i]](Clock::time_point until) {
                eventfd_t ignored;
                ::eventfd_read(service.returned, &ignored);
                if (!call.Done())
                    Sleep(until, -1);
            });
        if (wait != LaneWait::kDone)
            ReportOverrun(i, wait, "it was not closed");
    }
    for (const auto& system : systems)
        system->lane->LetGo();
    // What was left to a lane that has closed since ends now.
    MIDIServicePump();
    service.steps.clear();
    service.systems.reset();
    service.watching = false;
    service.reported.clear();
    service.snapshot[0] = service.snapshot[1] = std::nullopt;
    service.keys.clear();
}
