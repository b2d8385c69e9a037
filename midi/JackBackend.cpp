#include "JackBackend.h"

#include "JackClient.h"
#include "JackServerPresence.h"
#include "Lane.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include <sys/eventfd.h>
#include <unistd.h>

namespace {

jack_ringbuffer_t* MakeRing(std::size_t bytes)
{
    // One byte of a jack ring buffer always stays free.
    jack_ringbuffer_t* ring = jack_ringbuffer_create(bytes + 1);
    if (ring == nullptr)
        throw std::bad_alloc();
    return ring;
}

template <typename Item>
bool Take(jack_ringbuffer_t* ring, Item& item)
{
    return jack_ringbuffer_read(ring, reinterpret_cast<char*>(&item), sizeof item) == sizeof item;
}

template <typename Item>
void Put(jack_ringbuffer_t* ring, const Item& item)
{
    jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&item), sizeof item);
}

// The output port's name, the one scripts and patchbays know it by.
constexpr char kOutName[] = "out-1";

// How long a disconnected output port may take to let go of its old
// destination, in steps of a millisecond.
constexpr int kLetGoSteps = 1000;

// Clients whose server went away: closing one can deadlock inside libjack
// (the close waits for a lock its own notification thread keeps), so they
// are left open, idle, and kept here to stay reachable.
std::vector<jack_client_t*>& AbandonedClients()
{
    static auto* clients = new std::vector<jack_client_t*>;
    return *clients;
}

}  // namespace

JackBackend::JackBackend(std::string clientName)
    : m_clientName(std::move(clientName)), m_wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_toProcess(MakeRing(kMaxOutstanding * sizeof(MIDISysexSendRequest*))),
      m_finished(MakeRing(kMaxOutstanding * sizeof(Done))), m_received(MakeRing(kReceiveRingBytes - 1))
{
    std::string ignored;
    Usable(ignored);
}

JackBackend::~JackBackend()
{
    Close();
    OnWake();
    jack_ringbuffer_free(m_toProcess);
    jack_ringbuffer_free(m_finished);
    jack_ringbuffer_free(m_received);
    ::close(m_wake);
}

std::string JackBackend::WhenLocked()
{
    return "JACK's shared state looks locked by a process that died (remove " + JackDatabaseFolder() + " to free it)";
}

std::vector<MidiPort> JackBackend::Ports(bool sources)
{
    std::vector<MidiPort> found;
    if (std::string ignored; !Usable(ignored))
        return found;
    const char** names =
        jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, sources ? JackPortIsOutput : JackPortIsInput);
    if (names == nullptr)
        return found;
    for (const char** name = names; *name != nullptr; ++name) {
        const jack_port_t* port = jack_port_by_name(m_client, *name);
        const char* colon = std::strchr(*name, ':');
        if (port == nullptr || colon == nullptr || jack_port_is_mine(m_client, port))
            continue;
        found.push_back({*name, colon + 1, std::string(*name, colon)});
    }
    jack_free(names);
    // A server that went away meanwhile may have handed out a stale list.
    if (m_serverGone.load())
        found.clear();
    return found;
}

OSStatus JackBackend::Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason)
{
    if (request->data == nullptr || request->bytesToSend == 0) {
        reason = "an empty message";
        return kMIDIMessageSendErr;
    }
    if (!Usable(reason))
        return kMIDIServerGone;
    if (OthersPort(address, JackPortIsInput, reason) == nullptr)
        return kMIDIUnknownEndpoint;
    if (m_outstanding + m_waiting.size() >= kMaxOutstanding) {
        reason = std::to_string(kMaxOutstanding) + " sends are already waiting to go out";
        return kMIDIMessageSendErr;
    }
    if (!Activated(reason))
        return kMIDIMessageSendErr;
    // Behind what is in flight to another destination it waits its turn.
    if (!m_waiting.empty() || (m_outstanding > 0 && address != m_outTo)) {
        m_waiting.push_back({request, address});
        return noErr;
    }
    if (const OSStatus status = ConnectOut(address, reason); status != noErr)
        return status;
    Queue(request);
    return noErr;
}

void JackBackend::Queue(MIDISysexSendRequest* request)
{
    ++m_outstanding;
    // The request's fields were written on this thread; the process
    // callback reads them after taking the pointer from the ring.
    std::atomic_thread_fence(std::memory_order_release);
    Put(m_toProcess, request);
}

// Once nothing is in flight to another destination, the sends that waited
// for it go, in order.
void JackBackend::SendWaiting()
{
    while (!m_waiting.empty() && m_client != nullptr) {
        const Waiting next = m_waiting.front();
        if (m_outstanding > 0 && next.address != m_outTo)
            return;
        m_waiting.pop_front();
        std::string reason;
        if (OthersPort(next.address, JackPortIsInput, reason) == nullptr || ConnectOut(next.address, reason) != noErr)
            Complete(next.request, false, reason.c_str());
        else
            Queue(next.request);
    }
}

OSStatus JackBackend::Receive(const std::string& address, MIDIReadProc read, std::string& reason)
{
    m_read = {};
    if (jack_port_t* input = m_input.load(); input != nullptr && m_client != nullptr)
        jack_port_disconnect(m_client, input);
    if (!read)
        return noErr;
    if (!Usable(reason))
        return kMIDIServerGone;
    if (OthersPort(address, JackPortIsOutput, reason) == nullptr)
        return kMIDIUnknownEndpoint;
    m_event.resize(kMaxEventBytes);
    if (m_input.load() == nullptr)
        m_input.store(jack_port_register(m_client, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0));
    if (m_input.load() == nullptr) {
        reason = "jack_port_register in: the server refused the port";
        return kMIDIMessageSendErr;
    }
    if (!Activated(reason))
        return kMIDIMessageSendErr;
    if (const int error = jack_connect(m_client, address.c_str(), jack_port_name(m_input.load())); error != 0) {
        reason = "jack_connect " + address + " to " + jack_port_name(m_input.load()) +
                 ": the server refused the connection (error " + std::to_string(error) + ")";
        return kMIDIMessageSendErr;
    }
    m_read = std::move(read);
    return noErr;
}

// Another client's MIDI port at `address` with `flags` (input or output).
jack_port_t* JackBackend::OthersPort(const std::string& address, unsigned long flags, std::string& reason)
{
    jack_port_t* port = jack_port_by_name(m_client, address.c_str());
    if (port == nullptr || jack_port_is_mine(m_client, port) || (jack_port_flags(port) & flags) == 0 ||
        std::strcmp(jack_port_type(port), JACK_DEFAULT_MIDI_TYPE) != 0) {
        reason = std::string("no JACK MIDI ") + (flags == JackPortIsInput ? "input" : "output") + " port " + address;
        return nullptr;
    }
    return port;
}

void JackBackend::WatchPorts(std::function<void()> changed)
{
    m_portsChanged = std::move(changed);
    if (std::string ignored; m_portsChanged && Usable(ignored))
        ActivateToWatch();
    // Active only to watch, the client takes part in every cycle of the
    // server for nothing: it stops once nobody watches.
    if (!m_portsChanged && m_active && m_onlyToWatch && jack_deactivate(m_client) == 0)
        m_active = false;
}

void JackBackend::ActivateToWatch()
{
    if (m_active)
        return;
    if (std::string ignored; Activated(ignored))
        m_onlyToWatch = true;
}

// Activation waits for the first send or receive, or for ports to be
// watched: listing doesn't need it, and it would add several milliseconds
// to start-up.
bool JackBackend::Activated(std::string& reason)
{
    m_onlyToWatch = false;
    if (!m_active) {
        if (const int error = jack_activate(m_client); error != 0) {
            reason = "jack_activate: the server refused to activate the client (error " + std::to_string(error) + ")";
            return false;
        }
        m_active = true;
    }
    return true;
}

// Closes a client whose server has gone, and opens one when there is none
// and the last try is long enough ago; false, saying why, when there is none.
bool JackBackend::Usable(std::string& reason)
{
    if (m_client != nullptr && m_serverGone.load())
        Close();
    const auto now = std::chrono::steady_clock::now();
    if (m_client == nullptr && !(m_triedOpen && now - m_lastOpen < kReopenInterval)) {
        m_triedOpen = true;
        m_lastOpen = now;
        Open();
    }
    reason = m_client != nullptr ? "" : m_openFailure.empty() ? "the JACK server has gone away" : m_openFailure;
    return m_client != nullptr;
}

void JackBackend::Open()
{
    jack_client_t* client = OpenJackClient(m_clientName, m_openFailure);
    if (client == nullptr)
        return;
    m_serverGone.store(false);
    m_waitedCycles = 0;
    m_maxWaitCycles =
        std::max<unsigned>(1, jack_get_sample_rate(client) / std::max<unsigned>(1, jack_get_buffer_size(client)));
    // The shutdown callback works for an inactive client too. Like a signal
    // handler, it only records the fact and wakes the lane's thread, which
    // closes the client and completes what was in flight.
    jack_on_shutdown(
        client,
        [](void* self) {
            static_cast<JackBackend*>(self)->m_serverGone.store(true);
            ::eventfd_write(static_cast<JackBackend*>(self)->m_wake, 1);
        },
        this);
    // Set on every client, since callbacks can't be set once it is active;
    // it only records the fact, for the lane's thread to pass on.
    jack_set_port_registration_callback(
        client,
        [](jack_port_id_t, int, void* self) {
            static_cast<JackBackend*>(self)->m_portsRegistered.store(true);
            ::eventfd_write(static_cast<JackBackend*>(self)->m_wake, 1);
        },
        this);
    const auto process = [](jack_nframes_t frames, void* self) {
        static_cast<JackBackend*>(self)->RunCycle(frames);
        return 0;
    };
    if (const int error = jack_set_process_callback(client, process, this); error != 0) {
        m_openFailure = "jack_set_process_callback: failed with error " + std::to_string(error);
        jack_client_close(client);
        return;
    }
    m_openFailure.clear();
    m_client = client;
    m_active = false;
    // A client opened again, after its server came back, goes on watching.
    if (m_portsChanged)
        ActivateToWatch();
}

// Once the client is closed (or its server is gone and its last cycle has
// ended) the process callback no longer runs, so what it held (written but
// not yet reported, or still queued) is completed here, undelivered.
void JackBackend::Close()
{
    if (m_client == nullptr)
        return;
    const bool gone = m_serverGone.load();
    if (gone) {
        while (m_inCycle.load())
            std::this_thread::yield();
        AbandonedClients().push_back(m_client);
    } else {
        jack_client_close(m_client);
    }
    m_client = nullptr;
    m_active = false;
    std::atomic_thread_fence(std::memory_order_acquire);
    const char* failure =
        gone ? "the JACK server went away before it was sent" : "the JACK client was closed before it was sent";
    for (std::size_t i = 0; i < m_writtenCount; ++i)
        Finish({m_written[i].request, failure});
    m_writtenCount = 0;
    MIDISysexSendRequest* queued = nullptr;
    while (Take(m_toProcess, queued))
        Finish({queued, failure});
    for (const Waiting& waiting : m_waiting)
        Complete(waiting.request, false, failure);
    m_waiting.clear();
    m_out.store(nullptr);
    m_outTo.clear();
    m_input.store(nullptr);
}

// The output port, registered on the first send (never in the callback),
// connected to `address` and nothing else (a patchbay may have added
// connections), so a send reaches exactly the chosen port. Called only
// while nothing is in flight to another destination.
OSStatus JackBackend::ConnectOut(const std::string& address, std::string& reason)
{
    jack_port_t* out = m_out.load();
    if (out == nullptr) {
        out = jack_port_register(m_client, kOutName, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        if (out == nullptr) {
            reason = std::string("jack_port_register ") + kOutName + ": the server refused the port";
            return kMIDIMessageSendErr;
        }
        m_out.store(out, std::memory_order_release);
    }
    if (jack_port_connected(out) == 1 && jack_port_connected_to(out, address.c_str())) {
        m_outTo = address;
        return noErr;
    }
    m_outTo.clear();
    // A connection changes at a cycle boundary: the process callback must
    // see the old one gone before it takes the new one for this send's.
    if (jack_port_connected(out) > 0) {
        jack_port_disconnect(m_client, out);
        for (int step = 0; jack_port_connected(out) > 0; ++step) {
            if (step == kLetGoSteps) {
                reason = std::string("jack_port_disconnect ") + jack_port_name(out) +
                         ": the server kept its connections for 1 s";
                return kMIDIMessageSendErr;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // The destination was there a moment ago: a refusal is the server's
    // (its self-connect policy, say).
    if (const int error = jack_connect(m_client, jack_port_name(out), address.c_str()); error != 0) {
        reason = std::string("jack_connect ") + jack_port_name(out) + " to " + address +
                 ": the server refused the connection (error " + std::to_string(error) + ")";
        return kMIDIMessageSendErr;
    }
    m_outTo = address;
    return noErr;
}

void JackBackend::Finish(const Done& done)
{
    --m_outstanding;
    Complete(done.request, done.failure == nullptr, done.failure);
}

// On the lane's thread: completes what the process callback has reported,
// and closes a client whose server has gone.
void JackBackend::OnWake()
{
    eventfd_t ignored;
    ::eventfd_read(m_wake, &ignored);
    Done done{};
    while (Take(m_finished, done)) {
        std::atomic_thread_fence(std::memory_order_acquire);
        Finish(done);
    }
    SendWaiting();
    // An event is taken once all of it is in: the callback writes its size first.
    std::uint32_t size = 0;
    while (jack_ringbuffer_peek(m_received, reinterpret_cast<char*>(&size), sizeof size) == sizeof size) {
        const bool lost = size == 0 || size > kMaxEventBytes;
        if (!lost && jack_ringbuffer_read_space(m_received) < sizeof size + size)
            break;
        jack_ringbuffer_read_advance(m_received, sizeof size);
        if (!lost)
            jack_ringbuffer_read(m_received, reinterpret_cast<char*>(m_event.data()), size);
        if (m_read && lost)
            m_read.lost(size == 0 ? "MIDI input overran: the " + std::to_string(kReceiveRingBytes >> 10) +
                                        " KiB kept for JACK's events were full"
                                  : "lost a JACK MIDI event of " + std::to_string(size) + " bytes, longer than the " +
                                        std::to_string(kMaxEventBytes) + " taken");
        else if (m_read)
            m_read.bytes(m_event.data(), size);
    }
    // A server gone takes its ports with it.
    const bool gone = m_serverGone.load() && m_client != nullptr;
    if (m_serverGone.load())
        Close();
    if ((m_portsRegistered.exchange(false) || gone) && m_portsChanged)
        m_portsChanged();
}

// Realtime: no allocation, no locks, no printing; the lane's thread is woken
// with a write to an eventfd, which never blocks.
void JackBackend::RunCycle(jack_nframes_t frames)
{
    // Paired with Close: either this cycle sees the server gone and leaves
    // the queues alone, or the close waits for it to end.
    m_inCycle.store(true);
    if (m_serverGone.load()) {
        m_inCycle.store(false);
        return;
    }
    jack_port_t* out = m_out.load(std::memory_order_acquire);
    void* buffer = out != nullptr ? jack_port_get_buffer(out, frames) : nullptr;
    if (buffer != nullptr)
        jack_midi_clear_buffer(buffer);
    m_nextFreeFrame = 0;

    bool report = TakeInput(frames);

    // The cycle that wrote these has passed, so the receiver has had them,
    // unless it missed that cycle: an xrun loses a JACK MIDI event for any
    // sender alike, and nothing tells a sender so.
    report = report || m_writtenCount > 0;
    // Their placed times were written on this thread.
    std::atomic_thread_fence(std::memory_order_release);
    for (std::size_t i = 0; i < m_writtenCount; ++i)
        Put(m_finished, m_written[i]);
    m_writtenCount = 0;

    MIDISysexSendRequest* queued = nullptr;
    while (jack_ringbuffer_peek(m_toProcess, reinterpret_cast<char*>(&queued), sizeof queued) == sizeof queued) {
        std::atomic_thread_fence(std::memory_order_acquire);
        const Outcome outcome = WriteOne(*queued, out, buffer, frames);
        if (outcome == Outcome::kKeep)
            break;  // in order: the rest wait for the next cycle too
        jack_ringbuffer_read_advance(m_toProcess, sizeof queued);
        m_waitedCycles = 0;
        if (outcome == Outcome::kWritten) {
            m_written[m_writtenCount++] = {queued, nullptr};
        } else {
            Put(m_finished, Done{queued, outcome == Outcome::kNoConnection
                                             ? "no connection within 1 s"
                                             : "the message is larger than a JACK MIDI buffer holds"});
            report = true;
        }
    }
    if (report)
        ::eventfd_write(m_wake, 1);
    m_inCycle.store(false);
}

// What arrived, event by event, in order, for the lane's thread. An event
// longer than any message taken, or one the ring has no room for (the lane's
// thread has not run for a long while), is lost: one mark for a run of
// losses takes their place, once the next event fits behind it, or, with
// none, once there is room for the longest. True when anything was put in
// the ring.
bool JackBackend::TakeInput(jack_nframes_t frames)
{
    jack_port_t* input = m_input.load();
    if (input == nullptr)
        return false;
    bool put = false;
    void* buffer = jack_port_get_buffer(input, frames);
    jack_midi_event_t event;
    for (std::uint32_t i = 0; jack_midi_event_get(&event, buffer, i) == 0; ++i) {
        const auto size = static_cast<std::uint32_t>(event.size);
        if (size == 0)
            continue;
        if (size > kMaxEventBytes) {
            Owe(size);
            continue;
        }
        put = PutOwedMark(sizeof size + size) || put;
        if (m_markOwed || jack_ringbuffer_write_space(m_received) < sizeof size + size) {
            Owe(0);
        } else {
            Put(m_received, size);
            jack_ringbuffer_write(m_received, reinterpret_cast<const char*>(event.buffer), size);
            put = true;
        }
    }
    return PutOwedMark(sizeof(std::uint32_t) + kMaxEventBytes) || put;
}

// Losses while one is still owed are for want of room: one overrun mark.
void JackBackend::Owe(std::uint32_t mark)
{
    m_owedMark = m_markOwed ? 0 : mark;
    m_markOwed = true;
}

// The owed mark, when there is room for it and `behind` bytes more.
bool JackBackend::PutOwedMark(std::size_t behind)
{
    if (!m_markOwed || jack_ringbuffer_write_space(m_received) < sizeof m_owedMark + behind)
        return false;
    Put(m_received, m_owedMark);
    m_markOwed = false;
    return true;
}

// A message goes at the frame of its start time in the cycle that time falls
// in; one whose time has passed goes at this cycle's first free frame. Its
// placed time goes back with it.
JackBackend::Outcome JackBackend::WriteOne(MIDISysexSendRequest& request, jack_port_t* out, void* buffer,
                                           jack_nframes_t frames)
{
    if (buffer == nullptr)
        return Outcome::kKeep;  // the port was registered after this cycle began
    // A fresh connection takes effect at a cycle boundary; one that never
    // comes (the destination went away) fails the send after a while.
    if (jack_port_connected(out) <= 0)
        return ++m_waitedCycles < m_maxWaitCycles ? Outcome::kKeep : Outcome::kNoConnection;
    const std::size_t size = request.bytesToSend;
    // What doesn't fit beside this cycle's other events waits for the next
    // cycle; what doesn't fit in an empty buffer never will.
    const bool empty = jack_midi_get_event_count(buffer) == 0;
    if (size > jack_midi_max_event_size(buffer))
        return empty ? Outcome::kTooLarge : Outcome::kKeep;
    const jack_time_t jackNow = jack_get_time();
    const std::int64_t laneNow =
        std::chrono::duration_cast<std::chrono::nanoseconds>(LaneClock::now().time_since_epoch()).count();
    const jack_nframes_t cycleStart = jack_last_frame_time(m_client);
    const std::int64_t rate = jack_get_sample_rate(m_client);
    // Counted from the message placed before, in frames, its start is exact;
    // only a first message crosses from the lane's clock to JACK's.
    const bool afterLast = m_placedBefore && request.timeStamp >= m_lastPlacedAt &&
                           request.timeStamp - m_lastPlacedAt < std::int64_t{10'000'000'000};
    jack_nframes_t startFrame = cycleStart;
    if (request.timeStamp != 0 && afterLast)
        startFrame =
            m_lastPlacedFrame +
            static_cast<jack_nframes_t>(((request.timeStamp - m_lastPlacedAt) * rate + 999'999'999) / 1'000'000'000);
    else if (request.timeStamp > laneNow)
        startFrame =
            jack_time_to_frames(m_client, jackNow + static_cast<jack_time_t>((request.timeStamp - laneNow) / 1000));
    const auto ahead = static_cast<std::int32_t>(startFrame - cycleStart);
    if (ahead >= static_cast<std::int32_t>(frames))
        return Outcome::kKeep;  // a later cycle's
    // Events of a cycle go in time order.
    const jack_nframes_t offset = std::max(ahead > 0 ? static_cast<jack_nframes_t>(ahead) : 0, m_nextFreeFrame);
    if (offset >= frames)
        return Outcome::kKeep;
    jack_midi_data_t* event = jack_midi_event_reserve(buffer, offset, size);
    if (event == nullptr)
        return empty ? Outcome::kTooLarge : Outcome::kKeep;
    std::memcpy(event, request.data, size);
    m_nextFreeFrame = offset;
    const jack_nframes_t placedFrame = cycleStart + offset;
    request.timeStamp =
        afterLast && request.timeStamp != 0
            ? m_lastPlacedAt + static_cast<std::int64_t>(placedFrame - m_lastPlacedFrame) * 1'000'000'000 / rate
            : laneNow + (static_cast<std::int64_t>(jack_frames_to_time(m_client, placedFrame)) -
                         static_cast<std::int64_t>(jackNow)) *
                            1000;
    m_placedBefore = true;
    m_lastPlacedFrame = placedFrame;
    m_lastPlacedAt = request.timeStamp;
    return Outcome::kWritten;
}
