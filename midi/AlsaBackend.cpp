#include "AlsaBackend.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

// libasound prints its errors to stderr. A machine without a sound card
// makes one on every start (opening /dev/snd/seq: ENOENT), which is dropped,
// as aconnect drops it; everything else is printed as libasound would.
void PrintAlsaError(const char* file, int line, const char* function, int err, const char* format, ...)
{
    if (err == ENOENT || err == -ENOENT)
        return;
    std::fprintf(stderr, "ALSA lib %s:%i:(%s) ", file, line, function);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    if (err != 0)
        std::fprintf(stderr, ": %s", snd_strerror(err));
    std::fputc('\n', stderr);
}

// "call client:port: error text", as alsa-utils report a failing call.
std::string CallFailed(const char* call, int client, int port, int err)
{
    return std::string(call) + " " + std::to_string(client) + ":" + std::to_string(port) + ": " + snd_strerror(err);
}

// "client:port" to its two numbers; false when it isn't one.
bool ParseAlsaAddress(const std::string& address, int& client, int& port)
{
    const char* text = address.c_str();
    char* end = nullptr;
    const long c = std::strtol(text, &end, 10);
    if (end == text || *end != ':')
        return false;
    text = end + 1;
    const long p = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || c < 0 || c > 255 || p < 0 || p > 255)
        return false;
    client = static_cast<int>(c);
    port = static_cast<int>(p);
    return true;
}

}  // namespace

std::unique_ptr<AlsaBackend> AlsaBackend::Open(const std::string& clientName)
{
    snd_lib_error_set_handler(PrintAlsaError);
    snd_seq_t* seq = nullptr;
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, 0) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, clientName.c_str());
    const int port = snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                                SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    pollfd input{};
    if (port < 0 || snd_seq_poll_descriptors(seq, &input, 1, POLLIN) != 1) {
        std::fprintf(stderr, "%s: no ALSA MIDI: snd_seq_create_simple_port: %s\n", program_invocation_short_name,
                     snd_strerror(port));
        snd_seq_close(seq);
        return nullptr;
    }
    return std::unique_ptr<AlsaBackend>(new AlsaBackend(seq, port, input.fd));
}

AlsaBackend::~AlsaBackend()
{
    if (m_decoder != nullptr)
        snd_midi_event_free(m_decoder);
    snd_seq_close(m_seq);
}

std::vector<MidiPort> AlsaBackend::Ports(bool sources)
{
    std::vector<MidiPort> found;
    const int own = snd_seq_client_id(m_seq);
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(m_seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(m_seq, port) >= 0) {
            const unsigned int wanted = sources ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                                : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
            const unsigned int caps = snd_seq_port_info_get_capability(port);
            if ((caps & wanted) != wanted || (caps & SND_SEQ_PORT_CAP_NO_EXPORT) != 0 ||
                id == SND_SEQ_CLIENT_SYSTEM || id == own)
                continue;
            found.push_back({std::to_string(id) + ":" + std::to_string(snd_seq_port_info_get_port(port)),
                             snd_seq_port_info_get_name(port), snd_seq_client_info_get_name(client)});
        }
    }
    return found;
}

OSStatus AlsaBackend::Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason)
{
    int client = 0;
    int port = 0;
    if (!ParseAlsaAddress(address, client, port)) {
        reason = "not an ALSA sequencer address: " + address;
        return kMIDIUnknownEndpoint;
    }
    snd_seq_port_info_t* info;
    snd_seq_port_info_alloca(&info);
    if (const int err = snd_seq_get_any_port_info(m_seq, client, port, info); err < 0) {
        reason = CallFailed("snd_seq_get_any_port_info", client, port, err);
        return kMIDIUnknownEndpoint;
    }
    const std::string failure = SendOne(client, port, *request);
    Complete(request, failure.empty(), failure.c_str());
    return noErr;
}

OSStatus AlsaBackend::Receive(const std::string& address, MIDIReadProc read, std::string& reason)
{
    int client = 0;
    int port = 0;
    if (read && !ParseAlsaAddress(address, client, port)) {
        reason = "not an ALSA sequencer address: " + address;
        return kMIDIUnknownEndpoint;
    }
    if (m_inPort < 0) {
        // Not offered to others as a destination: it takes only what it asks for.
        m_inPort = snd_seq_create_simple_port(m_seq, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                              SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (m_inPort < 0 || snd_midi_event_new(256, &m_decoder) < 0) {
            reason = std::string("snd_seq_create_simple_port: ") + snd_strerror(m_inPort);
            return kMIDIMessageSendErr;
        }
        snd_midi_event_no_status(m_decoder, 1);
    }
    int oldClient = 0;
    int oldPort = 0;
    if (!m_source.empty() && ParseAlsaAddress(m_source, oldClient, oldPort))
        snd_seq_disconnect_from(m_seq, m_inPort, oldClient, oldPort);
    m_source.clear();
    m_read = nullptr;
    if (!read)
        return noErr;
    if (const int err = snd_seq_connect_from(m_seq, m_inPort, client, port); err < 0) {
        reason = CallFailed("snd_seq_connect_from", client, port, err);
        return kMIDIUnknownEndpoint;
    }
    m_source = address;
    m_read = std::move(read);
    return noErr;
}

// What has arrived, back to bytes: a System Exclusive piece as it stands,
// anything else as the sequencer's decoder writes it out.
void AlsaBackend::OnWake()
{
    pollfd input{m_fd, POLLIN, 0};
    while (snd_seq_event_input_pending(m_seq, 0) > 0 || ::poll(&input, 1, 0) > 0) {
        snd_seq_event_t* ev = nullptr;
        if (snd_seq_event_input(m_seq, &ev) < 0 || ev == nullptr)
            return;
        if (!m_read || ev->dest.port != m_inPort)
            continue;
        if (ev->type == SND_SEQ_EVENT_SYSEX) {
            m_read(static_cast<const std::uint8_t*>(ev->data.ext.ptr), ev->data.ext.len);
            continue;
        }
        unsigned char bytes[16];
        const long size = snd_midi_event_decode(m_decoder, bytes, sizeof bytes, ev);
        if (size > 0)
            m_read(bytes, static_cast<std::size_t>(size));
    }
}

// Whether our port's subscription to client:port still stands: the kernel
// drops it when the destination goes away.
bool AlsaBackend::SubscribedTo(int client, int port)
{
    if (client != m_client || port != m_port)
        return false;
    snd_seq_port_subscribe_t* subscription;
    snd_seq_port_subscribe_alloca(&subscription);
    const snd_seq_addr_t sender{static_cast<unsigned char>(snd_seq_client_id(m_seq)),
                                static_cast<unsigned char>(m_ownPort)};
    const snd_seq_addr_t destination{static_cast<unsigned char>(client), static_cast<unsigned char>(port)};
    snd_seq_port_subscribe_set_sender(subscription, &sender);
    snd_seq_port_subscribe_set_dest(subscription, &destination);
    return snd_seq_get_port_subscription(m_seq, subscription) == 0;
}

// Sends one complete message and waits until the sequencer has passed it
// on; on failure, returns why. The subscription matters for hardware ports:
// the kernel opens the raw MIDI device only while someone is subscribed.
std::string AlsaBackend::SendOne(int client, int port, const MIDISysexSendRequest& request)
{
    if (!SubscribedTo(client, port)) {
        if (m_client >= 0)
            snd_seq_disconnect_to(m_seq, m_ownPort, m_client, m_port);
        m_client = m_port = -1;
        if (const int err = snd_seq_connect_to(m_seq, m_ownPort, client, port); err < 0)
            return CallFailed("snd_seq_connect_to", client, port, err);
        m_client = client;
        m_port = port;
    }
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, m_ownPort);
    snd_seq_ev_set_dest(&ev, client, port);
    snd_seq_ev_set_direct(&ev);
    snd_seq_ev_set_sysex(&ev, request.bytesToSend, const_cast<std::uint8_t*>(request.data));
    int err = 0;
    std::string failure;
    if ((err = snd_seq_event_output(m_seq, &ev)) < 0)
        failure = CallFailed("snd_seq_event_output", client, port, err);
    else if ((err = snd_seq_drain_output(m_seq)) < 0)
        failure = CallFailed("snd_seq_drain_output", client, port, err);
    else if ((err = snd_seq_sync_output_queue(m_seq)) < 0)
        failure = CallFailed("snd_seq_sync_output_queue", client, port, err);
    if (!failure.empty())
        snd_seq_drop_output(m_seq);
    return failure;
}
