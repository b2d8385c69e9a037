// MIDI destinations and sources of the ALSA sequencer: the writable, or
// readable, subscribable ports of other clients. One sequencer client in
// blocking mode lists, sends and receives; a send waits until the sequencer
// has passed the message on, as aplaymidi does. The subscription to a
// destination stays open from one send to the next, so a hardware port is
// not closed and reopened between the messages of a bank.
#pragma once

#include "MidiBackend.h"
#include "RawMidiOverruns.h"

struct _snd_seq;
struct snd_midi_event;
struct snd_seq_event;

class AlsaBackend : public MidiBackend
{
public:
    // Null when there is no sequencer (no /dev/snd/seq), quietly.
    static std::unique_ptr<AlsaBackend> Open(const std::string& clientName);
    ~AlsaBackend() override;

    std::vector<MidiPort> Ports(bool sources) override;
    OSStatus Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason) override;
    OSStatus Receive(const std::string& address, MIDIReadProc read, std::string& reason) override;
    // Through the sequencer's announce port: its events wake the thread.
    void WatchPorts(std::function<void()> changed) override;
    int WakeFd() const override { return m_fd; }
    void OnWake() override;

private:
    AlsaBackend(_snd_seq* seq, int ownPort, int fd) : m_seq(seq), m_ownPort(ownPort), m_fd(fd) {}
    bool PrepareInput(std::string& reason);
    bool ScheduleAt(snd_seq_event* ev, std::int64_t startAt, std::string& failure);
    void SayRawOverruns();

    // The kernel's largest input pool (SNDRV_SEQ_MAX_CLIENT_EVENTS).
    static constexpr int kInputPoolCells = 2000;

    _snd_seq* const m_seq;
    const int m_ownPort;
    const int m_fd;  // readable when input has arrived
    struct Peer
    {
        int client = -1;  // -1: none
        int port = -1;
    };
    Peer m_to;          // the destination subscribed to
    Peer m_from;        // the source connected to our input
    int m_inPort = -1;  // made on the first receive
    int m_queue = -1;   // made for the first message with a start time
    MIDIReadProc m_read;
    snd_midi_event* m_decoder = nullptr;  // events back to bytes
    RawMidiOverruns m_rawOverruns;        // of the source's card, while receiving
    // Made when ports are first watched.
    int m_announcePort = -1;
    std::function<void()> m_portsChanged;
};
