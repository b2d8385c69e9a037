#include "MidiService.h"

#include "MidiBackend.h"
#include "SystemLane.h"
#include "SystemLog.h"

#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <utility>

namespace {

// How long a listing waits for a system, and a send for its hand-over.
constexpr std::chrono::milliseconds kListingDeadline{1000};
constexpr std::chrono::milliseconds kHandOverWait{100};
constexpr std::chrono::milliseconds kCloseDeadline{500};

// While a completion procedure runs: why its send was not delivered.
thread_local const char* t_failureReason = "";

// Every finished send passes here. `logAs` starts the log line that gives
// the reason of an undelivered one; null when the caller reports it.
void FinishSysex(MIDISysexSendRequest* request, bool delivered, const char* reason, const char* logAs)
{
    if (delivered) {
        reason = "";
    } else {
        if (reason == nullptr || *reason == '\0')
            reason = "no reason given";
        if (logAs != nullptr)
            LogLine("%s: %s", logAs, reason);
    }
    const char* outer = t_failureReason;
    t_failureReason = reason;
    CompleteSysexRequest(request, delivered);
    t_failureReason = outer;
}

void BackendFinished(MIDISysexSendRequest* request, bool delivered, const char* reason)
{
    FinishSysex(request, delivered, reason, "MIDI send not delivered");
}

// A send on its way to its system. A refusal is reported by the caller if
// it is still waiting, else where it happens.
struct HandOver
{
    enum State { kWaiting, kRefused, kCallerLeft };
    std::mutex mutex;
    State state = kWaiting;
    OSStatus status = noErr;
    std::string reason;
};

// Endpoint references name a destination by its system and address, so a
// reference keeps meaning the same destination while indices shift.
// References are never reused.
class Service
{
public:
    struct Listed
    {
        std::size_t lane;
        MidiDestination destination;
    };

    void Prepare()
    {
        if (!m_opened && !m_preparing.valid())
            m_preparing = std::async(std::launch::async, [] { return StartLanes(LoadSystemMidiSystems()); });
    }

    void UseBackends(std::vector<std::unique_ptr<MidiBackend>> backends)
    {
        ShutDown();
        std::vector<MidiSystem> systems;
        for (auto& backend : backends) {
            auto held = std::make_shared<std::unique_ptr<MidiBackend>>(std::move(backend));
            systems.push_back({"MIDI system", [held] { return std::move(*held); }});
        }
        m_lanes = StartLanes(std::move(systems));
        m_opened = true;
    }

    bool ShutDown()
    {
        if (m_preparing.valid())
            m_lanes = m_preparing.get();
        const auto now = std::chrono::steady_clock::now();
        bool closed = true;
        for (std::size_t i = 0; i < m_lanes.size(); ++i) {
            // A lane held up by a call is given a send's patience from when
            // that call began: one that waits on its server is left at once.
            const auto busy = m_lanes[i]->BusyFor();
            const LaneWait wait =
                m_lanes[i]->Close(m_waiter, busy > kHandOverWait ? now - busy + kHandOverWait : now + kCloseDeadline);
            if (wait != LaneWait::kDone)
                ReportOverrun(i, wait, "it was not closed");
            closed = closed && wait == LaneWait::kDone;
        }
        m_lanes.clear();
        m_reported.clear();
        m_refs.clear();
        m_keys.clear();
        return closed;
    }

    void SetWaiter(MidiWaiter waiter) { m_waiter = std::move(waiter); }

    // Within a listing scope every system is asked once, and what one
    // listing sees stays put while the scope walks it.
    void BeginListing() { ++m_listingDepth; }
    void EndListing()
    {
        if (--m_listingDepth == 0)
            m_snapshot.reset();
    }

    const std::vector<Listed>& ListAll()
    {
        if (!m_snapshot || m_listingDepth == 0)
            m_snapshot = TakeListing();
        return *m_snapshot;
    }

    MIDIEndpointRef RefFor(std::size_t lane, const std::string& address)
    {
        const auto [it, added] = m_refs.try_emplace({lane, address}, 0);
        if (added) {
            m_keys.push_back({lane, address});
            it->second = static_cast<MIDIEndpointRef>(m_keys.size());
        }
        return it->second;
    }

    // The system and address of a reference, or nullptr when unknown.
    const std::pair<std::size_t, std::string>* KeyFor(MIDIEndpointRef ref) const
    {
        if (ref == 0 || ref > m_keys.size())
            return nullptr;
        return &m_keys[ref - 1];
    }

    OSStatus Send(MIDISysexSendRequest* request)
    {
        m_lastRefusal.clear();
        const auto* where = KeyFor(request->destination);
        if (where == nullptr || where->first >= m_lanes.size()) {
            m_lastRefusal = "no such destination";
            FinishSysex(request, false, m_lastRefusal.c_str(), nullptr);
            return kMIDIUnknownEndpoint;
        }
        // The lane owns the request from here: a refusal is completed there,
        // so its owner can free it like any other, even when the refusal
        // comes after this call has stopped waiting for it.
        const std::string address = where->second;
        auto handOver = std::make_shared<HandOver>();
        const auto call = m_lanes[where->first]->Post<bool>([request, address, handOver](MidiBackend* backend) {
            std::string reason = "the MIDI system is not available";
            const OSStatus status = backend ? backend->StartSysex(address, request, reason) : kMIDIUnknownEndpoint;
            if (status == noErr)
                return true;
            std::unique_lock<std::mutex> lock(handOver->mutex);
            const bool callerLeft = handOver->state == HandOver::kCallerLeft;
            handOver->state = HandOver::kRefused;
            handOver->status = status;
            handOver->reason = reason;
            lock.unlock();
            FinishSysex(request, false, reason.c_str(), callerLeft ? "MIDI send refused" : nullptr);
            return false;
        });
        // A system that takes longer (waiting on its server) is left to
        // finish the hand-over: the send's completion will tell.
        call.Wait(m_waiter, std::chrono::steady_clock::now() + kHandOverWait);
        std::lock_guard<std::mutex> lock(handOver->mutex);
        if (handOver->state == HandOver::kRefused) {
            m_lastRefusal = handOver->reason;
            return handOver->status;
        }
        handOver->state = HandOver::kCallerLeft;
        return noErr;
    }

    const std::string& LastRefusal() const { return m_lastRefusal; }

private:
    using Lanes = std::vector<std::shared_ptr<SystemLane>>;

    static Lanes StartLanes(std::vector<MidiSystem> systems)
    {
        Lanes lanes;
        for (MidiSystem& system : systems) {
            lanes.push_back(SystemLane::Start(system.name, system.whenLocked, [open = std::move(system.open)] {
                std::unique_ptr<MidiBackend> backend = open();
                if (backend)
                    backend->SetFinishedHandler(BackendFinished);
                return backend;
            }));
        }
        return lanes;
    }

    void Open()
    {
        if (!m_opened) {
            m_lanes = m_preparing.valid() ? m_preparing.get() : StartLanes(LoadSystemMidiSystems());
            m_opened = true;
        }
    }

    // Asks every system at once and waits for each until one deadline; a
    // system still held up by an earlier call that waits on its server is
    // not asked.
    std::vector<Listed> TakeListing()
    {
        Open();
        using Call = SystemLane::Call<std::vector<MidiDestination>>;
        const MidiDeadline deadline = std::chrono::steady_clock::now() + kListingDeadline;
        std::vector<std::optional<Call>> calls(m_lanes.size());
        std::vector<Listed> all;
        for (std::size_t i = 0; i < m_lanes.size(); ++i) {
            if (m_lanes[i]->BusyFor() < kListingDeadline ||
                m_lanes[i]->Activity() != ThreadActivity::kWaitingOnPeer)
                calls[i] = m_lanes[i]->Post<std::vector<MidiDestination>>([](MidiBackend* backend) {
                    return backend ? backend->Destinations() : std::vector<MidiDestination>();
                });
        }
        for (std::size_t i = 0; i < m_lanes.size(); ++i) {
            const LaneWait wait = calls[i] ? calls[i]->Wait(m_waiter, deadline) : LaneWait::kNotAnswering;
            if (wait != LaneWait::kDone) {
                ReportOverrun(i, wait, "its MIDI destinations are left out");
                continue;
            }
            for (const MidiDestination& destination : calls[i]->Value())
                all.push_back({i, destination});
        }
        return all;
    }

    // Says why a system's call did not end in time, and what follows; once
    // for each system.
    void ReportOverrun(std::size_t lane, LaneWait wait, const char* consequence)
    {
        if (!m_reported.insert(lane).second)
            return;
        const char* system = m_lanes[lane]->System().c_str();
        const std::string& whenLocked = m_lanes[lane]->WhenLocked();
        if (wait == LaneWait::kNotAnswering)
            ReportProblem("%s not answering within %d s: %s", system,
                          static_cast<int>(kListingDeadline.count() / 1000), consequence);
        else if (wait == LaneWait::kLocked && !whenLocked.empty())
            ReportProblem("%s; %s", whenLocked.c_str(), consequence);
        else if (wait == LaneWait::kLocked)
            ReportProblem("%s waiting on a lock for %d s: %s", system,
                          static_cast<int>(SystemLane::kLockPatience.count()), consequence);
        else
            ReportProblem("%s still busy after %d s: %s", system,
                          static_cast<int>(SystemLane::kBusyLimit.count()), consequence);
    }

    bool m_opened = false;
    std::future<Lanes> m_preparing;
    Lanes m_lanes;
    std::set<std::size_t> m_reported;  // lanes whose overrun has been said
    MidiWaiter m_waiter;
    std::string m_lastRefusal;
    int m_listingDepth = 0;
    std::optional<std::vector<Listed>> m_snapshot;
    std::map<std::pair<std::size_t, std::string>, MIDIEndpointRef> m_refs;
    std::vector<std::pair<std::size_t, std::string>> m_keys;
};

// Never destroyed: a system thread may still be inside a call at exit.
Service& TheService()
{
    static auto* service = new Service;
    return *service;
}

}  // namespace

ItemCount MIDIGetNumberOfDestinations()
{
    return TheService().ListAll().size();
}

MIDIEndpointRef MIDIGetDestination(ItemCount index)
{
    Service& service = TheService();
    const std::vector<Service::Listed>& all = service.ListAll();
    if (index >= all.size())
        return 0;
    return service.RefFor(all[index].lane, all[index].destination.address);
}

OSStatus MIDIObjectGetStringProperty(MIDIEndpointRef endpoint, MIDIPropertyKey key, std::string& str)
{
    str.clear();
    Service& service = TheService();
    const auto* where = service.KeyFor(endpoint);
    if (where == nullptr)
        return kMIDIUnknownEndpoint;
    if (key != kMIDIPropertyName && key != kMIDIPropertyModel && key != kMIDIPropertyAddress)
        return kMIDIUnknownProperty;
    for (const Service::Listed& listed : service.ListAll()) {
        const MidiDestination& destination = listed.destination;
        if (listed.lane == where->first && destination.address == where->second) {
            str = key == kMIDIPropertyName ? destination.name
                  : key == kMIDIPropertyModel ? destination.model
                                              : destination.address;
            return noErr;
        }
    }
    return kMIDIUnknownEndpoint;
}

OSStatus MIDISendSysex(MIDISysexSendRequest* request)
{
    if (request == nullptr)
        return kMIDIMessageSendErr;
    return TheService().Send(request);
}

const char* MIDISendSysexRefusalReason()
{
    return TheService().LastRefusal().c_str();
}

const char* MIDISysexFailureReason()
{
    return t_failureReason;
}

MIDIListing::MIDIListing()
{
    TheService().BeginListing();
}

MIDIListing::~MIDIListing()
{
    TheService().EndListing();
}

void MIDIServicePrepare()
{
    TheService().Prepare();
}

void MIDIServiceUseBackends(std::vector<std::unique_ptr<MidiBackend>> backends)
{
    TheService().UseBackends(std::move(backends));
}

void MIDIServiceSetWaiter(MidiWaiter waiter)
{
    TheService().SetWaiter(std::move(waiter));
}

bool MIDIServiceShutDown()
{
    return TheService().ShutDown();
}
