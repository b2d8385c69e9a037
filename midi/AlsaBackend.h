// MIDI destinations of the ALSA sequencer: the writable, subscribable ports
// of other clients. One sequencer client in blocking mode lists and sends;
// a send waits until the sequencer has passed the message on, as aplaymidi
// does. The subscription to a destination stays open from one send to the
// next, so a hardware port is not closed and reopened between the messages
// of a bank.
#pragma once

#include "MidiBackend.h"

struct _snd_seq;

class AlsaBackend : public MidiBackend
{
public:
    // Null when the sequencer can't be opened (no /dev/snd/seq). That case
    // is quiet; libasound's other errors are still printed.
    static std::unique_ptr<AlsaBackend> Open(const std::string& clientName);
    ~AlsaBackend() override;

    std::vector<MidiDestination> Destinations() override;
    OSStatus Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason) override;

private:
    AlsaBackend(_snd_seq* seq, int ownPort) : m_seq(seq), m_ownPort(ownPort) {}
    bool SubscribedTo(int client, int port);
    std::string SendOne(int client, int port, const MIDISysexSendRequest& request);

    _snd_seq* const m_seq;
    const int m_ownPort;
    int m_client = -1;  // the destination subscribed to, if any
    int m_port = -1;
};
