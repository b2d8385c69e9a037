#include "AlsaBackend.h"

#include <alsa/asoundlib.h>

#include "Lane.h"

#include <cerrno>
#include <chrono>
#include <cstdio>

#include <unistd.h>

namespace {

// "call client:port: error text", as alsa-utils report a failing call.
std::string CallFailed(const char* call, int client, int port, int err)
{
    return std::string(call) + " " + std::to_string(client) + ":" + std::to_string(port) + ": " + snd_strerror(err);
}

// Only addresses of the form our listing gives ("14:0") are taken.
bool ParseAlsaAddress(snd_seq_t* seq, const std::string& address, int& client, int& port, std::string& reason)
{
    snd_seq_addr_t parsed{};
    if (address.find(':') == std::string::npos || snd_seq_parse_address(seq, &parsed, address.c_str()) < 0) {
        reason = "not an ALSA sequencer address: " + address;
        return false;
    }
    client = parsed.client;
    port = parsed.port;
    return true;
}

}  // namespace

std::unique_ptr<AlsaBackend> AlsaBackend::Open(const std::string& clientName)
{
    // Without a sound card libasound would print that it can't open the
    // device on every start; aconnect keeps quiet about that case too.
    if (::access("/dev/snd/seq", F_OK) != 0 && errno == ENOENT)
        return nullptr;
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
    const unsigned int wanted = sources ? SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ
                                        : SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    snd_seq_client_info_t* client;
    snd_seq_port_info_t* port;
    snd_seq_client_info_alloca(&client);
    snd_seq_port_info_alloca(&port);
    snd_seq_client_info_set_client(client, -1);
    while (snd_seq_query_next_client(m_seq, client) >= 0) {
        const int id = snd_seq_client_info_get_client(client);
        if (id == SND_SEQ_CLIENT_SYSTEM || id == snd_seq_client_id(m_seq))
            continue;
        snd_seq_port_info_set_client(port, id);
        snd_seq_port_info_set_port(port, -1);
        while (snd_seq_query_next_port(m_seq, port) >= 0) {
            const unsigned int caps = snd_seq_port_info_get_capability(port);
            if ((caps & wanted) == wanted && (caps & SND_SEQ_PORT_CAP_NO_EXPORT) == 0)
                found.push_back({std::to_string(id) + ":" + std::to_string(snd_seq_port_info_get_port(port)),
                                 snd_seq_port_info_get_name(port), snd_seq_client_info_get_name(client)});
        }
    }
    return found;
}

std::int64_t LaneNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(LaneClock::now().time_since_epoch()).count();
}

// On a queue of our own, in real time: the sequencer passes the event on at
// `startAt` (LaneClock nanoseconds), counted from the queue's time now.
bool AlsaBackend::ScheduleAt(snd_seq_event* ev, std::int64_t startAt, std::string& failure)
{
    int err = 0;
    if (m_queue < 0) {
        if ((err = snd_seq_alloc_queue(m_seq)) < 0) {
            failure = std::string("snd_seq_alloc_queue: ") + snd_strerror(err);
            return false;
        }
        m_queue = err;
        if ((err = snd_seq_start_queue(m_seq, m_queue, nullptr)) < 0 || (err = snd_seq_drain_output(m_seq)) < 0) {
            failure = std::string("snd_seq_start_queue: ") + snd_strerror(err);
            return false;
        }
    }
    snd_seq_queue_status_t* status;
    snd_seq_queue_status_alloca(&status);
    if ((err = snd_seq_get_queue_status(m_seq, m_queue, status)) < 0) {
        failure = std::string("snd_seq_get_queue_status: ") + snd_strerror(err);
        return false;
    }
    const snd_seq_real_time_t* now = snd_seq_queue_status_get_real_time(status);
    const std::int64_t at = std::int64_t{now->tv_sec} * 1'000'000'000 + now->tv_nsec + (startAt - LaneNanoseconds());
    snd_seq_real_time_t when{static_cast<unsigned>(at / 1'000'000'000), static_cast<unsigned>(at % 1'000'000'000)};
    snd_seq_ev_schedule_real(ev, m_queue, 0, &when);
    return true;
}

// Sends one complete message, at its start time when it has one still to
// come, and waits until the sequencer has passed it on. The subscription matters for hardware ports: the kernel opens the raw
// MIDI device only while someone is subscribed. It is asked for before every
// message, since the kernel drops it when the destination goes away. EBUSY
// means ours still stands, or, for a port we did not hold, that another
// client holds it exclusively.
OSStatus AlsaBackend::Send(const std::string& address, MIDISysexSendRequest* request, std::string& reason)
{
    int client = 0;
    int port = 0;
    if (!ParseAlsaAddress(m_seq, address, client, port, reason))
        return kMIDIUnknownEndpoint;
    snd_seq_port_info_t* info;
    snd_seq_port_info_alloca(&info);
    if (const int err = snd_seq_get_any_port_info(m_seq, client, port, info); err < 0) {
        reason = CallFailed("snd_seq_get_any_port_info", client, port, err);
        return kMIDIUnknownEndpoint;
    }
    const bool held = client == m_to.client && port == m_to.port;
    if (!held && m_to.client >= 0)
        snd_seq_disconnect_to(m_seq, m_ownPort, m_to.client, m_to.port);
    m_to = {};
    std::string failure;
    int err = snd_seq_connect_to(m_seq, m_ownPort, client, port);
    if (err < 0 && !(err == -EBUSY && held)) {
        failure = CallFailed("snd_seq_connect_to", client, port, err);
    } else {
        m_to = {client, port};
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, m_ownPort);
        snd_seq_ev_set_dest(&ev, client, port);
        snd_seq_ev_set_direct(&ev);
        snd_seq_ev_set_sysex(&ev, request->bytesToSend, const_cast<std::uint8_t*>(request->data));
        const bool later = request->timeStamp > LaneNanoseconds();
        if (later && !ScheduleAt(&ev, request->timeStamp, failure)) {
            // `failure` says why
        } else if ((err = snd_seq_event_output(m_seq, &ev)) < 0)
            failure = CallFailed("snd_seq_event_output", client, port, err);
        else if ((err = snd_seq_drain_output(m_seq)) < 0)
            failure = CallFailed("snd_seq_drain_output", client, port, err);
        else if ((err = snd_seq_sync_output_queue(m_seq)) < 0)
            failure = CallFailed("snd_seq_sync_output_queue", client, port, err);
        if (!failure.empty())
            snd_seq_drop_output(m_seq);
        else if (!later)
            request->timeStamp = LaneNanoseconds();
    }
    Complete(request, failure.empty(), failure.c_str());
    return noErr;
}

OSStatus AlsaBackend::Receive(const std::string& address, MIDIReadProc read, std::string& reason)
{
    int client = 0;
    int port = 0;
    if (read && !ParseAlsaAddress(m_seq, address, client, port, reason))
        return kMIDIUnknownEndpoint;
    if (read && m_inPort < 0 && !PrepareInput(reason))
        return kMIDIMessageSendErr;
    if (m_read)
        SayRawOverruns();  // those since the last wake, before listening stops
    if (m_from.client >= 0)
        snd_seq_disconnect_from(m_seq, m_inPort, m_from.client, m_from.port);
    m_from = {};
    m_read = {};
    if (!read)
        return noErr;
    if (const int err = snd_seq_connect_from(m_seq, m_inPort, client, port); err < 0) {
        reason = CallFailed("snd_seq_connect_from", client, port, err);
        return kMIDIUnknownEndpoint;
    }
    m_from = {client, port};
    m_read = std::move(read);
    // Counted from now, with the source's raw MIDI input open for us.
    snd_seq_client_info_t* info;
    snd_seq_client_info_alloca(&info);
    m_rawOverruns = RawMidiOverruns(
        snd_seq_get_any_client_info(m_seq, client, info) == 0 ? snd_seq_client_info_get_card(info) : -1);
    return noErr;
}

// Bytes the kernel dropped below the sequencer cannot be placed among the
// events: they are said as soon as they are seen, and a message that may
// span them is dropped.
void AlsaBackend::SayRawOverruns()
{
    std::string where;
    if (const long dropped = m_rawOverruns.Since(where); dropped > 0)
        m_read.lost("MIDI input overran below the ALSA sequencer: the raw MIDI buffer dropped " +
                    std::to_string(dropped) + " bytes (" + where + "), so a message around them may be cut or joined");
}

// On the first receive: the input port, the decoder, and room for a synth
// that dumps a bank at USB speed while this thread is not scheduled. The
// kernel splits a 300-byte wave dump into events of 256 and 44 bytes, 14
// cells of its input pool (15 with a clock byte inside), so the default
// pool of 200 cells holds 13 dumps; on overflow it drops events and clears
// the whole pool at the next read. Its largest pool holds about 130, and a
// buffer of as many event records takes all of it in one read. Listing and
// sending never pay for this. On failure nothing is left half made.
bool AlsaBackend::PrepareInput(std::string& reason)
{
    const auto failed = [&reason](const char* call, int err) {
        if (err < 0)
            reason = std::string(call) + ": " + snd_strerror(err);
        return err < 0;
    };
    snd_midi_event* decoder = nullptr;
    int port = -1;
    // Not offered to others as a destination: it takes only what it asks for.
    if (failed("snd_midi_event_new", snd_midi_event_new(256, &decoder)) ||
        failed("snd_seq_set_client_pool_input", snd_seq_set_client_pool_input(m_seq, kInputPoolCells)) ||
        failed("snd_seq_set_input_buffer_size",
               snd_seq_set_input_buffer_size(m_seq, kInputPoolCells * sizeof(snd_seq_event_t))) ||
        failed("snd_seq_create_simple_port",
               port = snd_seq_create_simple_port(m_seq, "in", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT,
                                                 SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION))) {
        if (decoder != nullptr)
            snd_midi_event_free(decoder);
        return false;
    }
    snd_midi_event_no_status(decoder, 1);
    m_decoder = decoder;
    m_inPort = port;
    return true;
}

void AlsaBackend::WatchPorts(std::function<void()> changed)
{
    // The announce port, once made, stays: its events come only when ports
    // change, and are dropped while nobody watches.
    if (changed && m_announcePort < 0) {
        const int port = snd_seq_create_simple_port(
            m_seq, "announce", SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_NO_EXPORT, SND_SEQ_PORT_TYPE_APPLICATION);
        if (port < 0)
            return;
        if (const int err = snd_seq_connect_from(m_seq, port, SND_SEQ_CLIENT_SYSTEM, SND_SEQ_PORT_SYSTEM_ANNOUNCE);
            err < 0) {
            snd_seq_delete_simple_port(m_seq, port);
            return;
        }
        m_announcePort = port;
    }
    m_portsChanged = std::move(changed);
}

// What has arrived, back to bytes: a System Exclusive piece as it stands,
// anything else as the sequencer's decoder writes it out. An overrun
// (-ENOSPC: the kernel dropped events and then cleared what it held) is
// said where it happened, and reading goes on.
void AlsaBackend::OnWake()
{
    if (m_read)
        SayRawOverruns();
    pollfd input{m_fd, POLLIN, 0};
    while (snd_seq_event_input_pending(m_seq, 0) > 0 || ::poll(&input, 1, 0) > 0) {
        snd_seq_event_t* ev = nullptr;
        const int err = snd_seq_event_input(m_seq, &ev);
        if (err == -ENOSPC) {
            if (m_read)
                m_read.lost(std::string("MIDI input overran: the ALSA sequencer's input pool was full "
                                        "(snd_seq_event_input: ") +
                            snd_strerror(err) + ")");
            continue;
        }
        if (err < 0 || ev == nullptr)
            return;
        if (ev->dest.port == m_announcePort && m_announcePort >= 0) {
            // Subscriptions (our own sends make them) change no port.
            const bool ports = ev->type == SND_SEQ_EVENT_CLIENT_START || ev->type == SND_SEQ_EVENT_CLIENT_EXIT ||
                               ev->type == SND_SEQ_EVENT_CLIENT_CHANGE || ev->type == SND_SEQ_EVENT_PORT_START ||
                               ev->type == SND_SEQ_EVENT_PORT_EXIT || ev->type == SND_SEQ_EVENT_PORT_CHANGE;
            if (ports && m_portsChanged)
                m_portsChanged();
            continue;
        }
        if (!m_read || ev->dest.port != m_inPort)
            continue;
        if (ev->type == SND_SEQ_EVENT_SYSEX) {
            m_read.bytes(static_cast<const std::uint8_t*>(ev->data.ext.ptr), ev->data.ext.len);
            continue;
        }
        unsigned char bytes[16];
        const long size = snd_midi_event_decode(m_decoder, bytes, sizeof bytes, ev);
        if (size > 0)
            m_read.bytes(bytes, static_cast<std::size_t>(size));
    }
}
