// MIDI destinations of the ALSA sequencer: the writable, subscribable ports
// of other clients. Sends run on a worker thread, one at a time, because the
// sequencer calls that wait for delivery block.
#pragma once

#include "MidiBackend.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

struct _snd_seq;

class AlsaBackend : public MidiBackend
{
public:
    // Null when the sequencer can't be opened (no /dev/snd/seq). That case
    // is quiet; libasound's other errors are still printed.
    static std::unique_ptr<AlsaBackend> Open(const std::string& clientName);

    // Waits for the send in progress; the queued ones complete undelivered.
    ~AlsaBackend() override;

    std::vector<MidiDestination> Destinations() override;
    OSStatus StartSysex(const std::string& address, MIDISysexSendRequest* request, std::string& reason) override;

private:
    AlsaBackend(_snd_seq* seq, std::string clientName);
    void Work();

    _snd_seq* const m_seq;  // listing, on the caller's thread
    const std::string m_clientName;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::pair<std::string, MIDISysexSendRequest*>> m_queue;
    bool m_stopping = false;
    std::thread m_worker;  // started by the first send
};
