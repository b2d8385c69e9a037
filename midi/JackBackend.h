// MIDI destinations and sources of a running JACK server: the MIDI input,
// or output, ports of other clients. Never starts a server. Sends go out
// through one output port, connected to their destination only; a send to
// another destination waits until what is in flight has gone, and the port
// is then connected anew. Each goes to the process callback through a ring
// buffer; the callback writes the whole message as one event and, a cycle
// later, hands it back through a second ring, waking the lane's thread,
// which completes it. What arrives at our input port takes a third ring to
// the lane's thread.
#pragma once

#include "MidiBackend.h"

#include <jack/ringbuffer.h>
#include <jack/types.h>

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <vector>

class JackBackend : public MidiBackend
{
public:
    // Tries to open a client at once; with no server running there are
    // simply no destinations. While there is no client, listing and sending
    // try again at most once per kReopenInterval, so a server started (or
    // restarted) later is found without slowing every call down.
    explicit JackBackend(std::string clientName);
    ~JackBackend() override;
    JackBackend(const JackBackend&) = delete;
    JackBackend& operator=(const JackBackend&) = delete;

    std::vector<MidiPort> Ports(bool sources) override;
    // kMIDIServerGone when there is no server (any more).
    OSStatus Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason) override;
    OSStatus Receive(const std::string& address, MIDIReadProc read, std::string& reason) override;
    // Through JACK's port registration callback, which every client it
    // opens sets: its notification thread wakes this one. JACK tells only
    // an active client, so watching activates it, as a send does, until it
    // stops (unless a send or receive has needed it since).
    void WatchPorts(std::function<void()> changed) override;
    int WakeFd() const override { return m_wake; }
    void OnWake() override;

    // What a call into libjack that waits on a lock for long means.
    static std::string WhenLocked();

    static constexpr std::size_t kMaxOutstanding = 64;  // sends waiting, queued or in flight
    static constexpr std::chrono::milliseconds kReopenInterval{1000};
    // Received: an event as long as the longest message receive joins
    // (64 KiB) is taken; a longer one is lost, and said to be. The ring
    // holds a bank of 32 wave dumps many times over, as 32 events or as one,
    // or three of the longest events, while the lane's thread is not
    // scheduled. It is allocated, not touched, until something arrives.
    static constexpr std::size_t kMaxEventBytes = 1 << 16;
    static constexpr std::size_t kReceiveRingBytes = 1 << 18;

private:
    struct Waiting
    {
        MIDISysexSendRequest* request;
        std::string address;
    };
    struct Done
    {
        MIDISysexSendRequest* request;
        const char* failure;  // null when delivered
    };
    enum class Outcome { kWritten, kKeep, kNoConnection, kTooLarge };

    bool Usable(std::string& reason);
    bool Activated(std::string& reason);
    void ActivateToWatch();
    jack_port_t* OthersPort(const std::string& address, unsigned long flags, std::string& reason);
    void Open();
    void Close();
    OSStatus ConnectOut(const std::string& address, std::string& reason);
    void Queue(MIDISysexSendRequest* request);
    void SendWaiting();
    void Finish(const Done& done);

    void RunCycle(jack_nframes_t frames);
    bool TakeInput(jack_nframes_t frames);
    void Owe(std::uint32_t mark);
    bool PutOwedMark(std::size_t behind);
    Outcome WriteOne(MIDISysexSendRequest& request, jack_port_t* out, void* buffer, jack_nframes_t frames);

    const std::string m_clientName;
    const int m_wake;  // eventfd: finished sends, or the server gone

    // The lane's thread's own.
    jack_client_t* m_client = nullptr;
    bool m_active = false;       // activated on the first send
    bool m_onlyToWatch = false;  // activated for WatchPorts alone
    bool m_triedOpen = false;
    std::chrono::steady_clock::time_point m_lastOpen;
    std::string m_openFailure;      // why the last open failed
    std::string m_outTo;            // the destination the output port is connected to
    std::deque<Waiting> m_waiting;  // behind sends in flight to another destination
    std::size_t m_outstanding = 0;  // queued or in flight: bounds both rings, which never overflow
    MIDIReadProc m_read;
    std::function<void()> m_portsChanged;
    std::vector<std::uint8_t> m_event;  // one received event, sized on the first receive

    // Shared with the process callback. The output port is registered on
    // the first send and stays put while the client lives.
    std::atomic<jack_port_t*> m_out{nullptr};
    std::atomic<bool> m_serverGone{false};
    // Set by JACK's notification thread when a port came or went.
    std::atomic<bool> m_portsRegistered{false};
    std::atomic<bool> m_inCycle{false};    // the process callback is running
    jack_ringbuffer_t* const m_toProcess;  // requests: lane -> process callback
    jack_ringbuffer_t* const m_finished;   // Done: process callback -> lane
    // Records of a size, then that many bytes: process callback -> lane. A
    // size of 0 marks events lost for want of room, one past
    // kMaxEventBytes an event of that size lost for its length.
    jack_ringbuffer_t* const m_received;
    std::atomic<jack_port_t*> m_input{nullptr};

    // The process callback's own (Close reads them once it has stopped).
    jack_nframes_t m_nextFreeFrame = 0;  // in this cycle's output buffer
    // The last message written: its frame and its time on the lane's clock.
    bool m_placedBefore = false;
    jack_nframes_t m_lastPlacedFrame = 0;
    std::int64_t m_lastPlacedAt = 0;
    std::array<Done, kMaxOutstanding> m_written{};  // written this cycle, reported next cycle
    std::size_t m_writtenCount = 0;
    unsigned m_waitedCycles = 0;   // cycles the first queued send has waited for its connection
    unsigned m_maxWaitCycles = 1;  // about a second's worth, set on opening
    bool m_markOwed = false;       // a loss not yet in the ring, for want of room
    std::uint32_t m_owedMark = 0;
};
