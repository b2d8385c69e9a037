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

// Sends one complete message to one port and waits until the sequencer has
// passed it on; on failure, returns why. The subscription matters for
// hardware ports: the kernel opens the raw MIDI device only while someone
// is subscribed.
std::string SendOne(snd_seq_t* seq, int ownPort, int client, int port, const MIDISysexSendRequest& request)
{
    int err = snd_seq_connect_to(seq, ownPort, client, port);
    if (err < 0)
        return CallFailed("snd_seq_connect_to", client, port, err);
    snd_seq_event_t ev;
    snd_seq_ev_clear(&ev);
    snd_seq_ev_set_source(&ev, ownPort);
    snd_seq_ev_set_dest(&ev, client, port);
    snd_seq_ev_set_direct(&ev);
    snd_seq_ev_set_sysex(&ev, request.bytesToSend, const_cast<std::uint8_t*>(request.data));
    std::string failure;
    if ((err = snd_seq_event_output(seq, &ev)) < 0)
        failure = CallFailed("snd_seq_event_output", client, port, err);
    else if ((err = snd_seq_drain_output(seq)) < 0)
        failure = CallFailed("snd_seq_drain_output", client, port, err);
    else if ((err = snd_seq_sync_output_queue(seq)) < 0)
        failure = CallFailed("snd_seq_sync_output_queue", client, port, err);
    if (!failure.empty())
        snd_seq_drop_output(seq);
    snd_seq_disconnect_to(seq, ownPort, client, port);
    return failure;
}

// Is a port of `client` with capabilities `caps` a destination for a client
// whose own id is `ownClient`?
bool IsAlsaDestination(unsigned int caps, int client, int ownClient)
{
    const unsigned int wanted = SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE;
    return (caps & wanted) == wanted && (caps & SND_SEQ_PORT_CAP_NO_EXPORT) == 0 &&
           client != SND_SEQ_CLIENT_SYSTEM && client != ownClient;
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
    if (snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0)
        return nullptr;
    snd_seq_set_client_name(seq, clientName.c_str());
    return std::unique_ptr<AlsaBackend>(new AlsaBackend(seq, clientName));
}

AlsaBackend::AlsaBackend(snd_seq_t* seq, std::string clientName)
    : m_seq(seq), m_clientName(std::move(clientName))
{
}

AlsaBackend::~AlsaBackend()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
    for (const auto& [address, request] : m_queue)
        Finished(request, false, "the ALSA sequencer client was closed before it was sent");
    snd_seq_close(m_seq);
}

std::vector<MidiDestination> AlsaBackend::Destinations()
{
    std::vector<MidiDestination> found;
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
            // The sending worker's client has only a readable port, so the
            // capability test leaves it out along with our own.
            if (!IsAlsaDestination(snd_seq_port_info_get_capability(port), id, own))
                continue;
            found.push_back({std::to_string(id) + ":" + std::to_string(snd_seq_port_info_get_port(port)),
                             snd_seq_port_info_get_name(port), snd_seq_client_info_get_name(client)});
        }
    }
    return found;
}

OSStatus AlsaBackend::StartSysex(const std::string& address, MIDISysexSendRequest* request, std::string& reason)
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

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_worker.joinable())
        m_worker = std::thread(&AlsaBackend::Work, this);
    m_queue.emplace_back(address, request);
    m_wake.notify_one();
    return noErr;
}

// The worker has its own blocking sequencer client, so a send that waits for
// a slow device never holds up listing on the caller's thread.
void AlsaBackend::Work()
{
    snd_seq_t* seq = nullptr;
    int ownPort = -1;
    std::string openFailure;
    if (const int err = snd_seq_open(&seq, "default", SND_SEQ_OPEN_OUTPUT, 0); err < 0) {
        openFailure = std::string("snd_seq_open: ") + snd_strerror(err);
    } else {
        snd_seq_set_client_name(seq, (m_clientName + " out").c_str());
        ownPort = snd_seq_create_simple_port(seq, "out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                             SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (ownPort < 0)
            openFailure = std::string("snd_seq_create_simple_port: ") + snd_strerror(ownPort);
    }

    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_stopping)
            break;
        const auto [address, request] = m_queue.front();
        m_queue.pop_front();
        lock.unlock();
        int client = 0;
        int port = 0;
        std::string failure = openFailure;
        if (failure.empty() && ParseAlsaAddress(address, client, port))
            failure = SendOne(seq, ownPort, client, port, *request);
        Finished(request, failure.empty(), failure.c_str());
        lock.lock();
    }
    if (seq != nullptr)
        snd_seq_close(seq);
}
