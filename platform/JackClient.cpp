#include "JackClient.h"

#include "JackServerPresence.h"

#include <jack/jack.h>

#include <utility>

namespace {

// jack_status_t's bits in words.
std::string StatusInWords(jack_status_t status)
{
    static const std::pair<int, const char*> kBits[] = {
        {JackServerFailed, "unable to connect to the JACK server (JackServerFailed)"},
        {JackServerError, "communication error with the JACK server (JackServerError)"},
        {JackShmFailure, "unable to access the shared memory (JackShmFailure)"},
        {JackVersionError, "the client's protocol version does not match the server's (JackVersionError)"},
        {JackInitFailure, "unable to initialise the client (JackInitFailure)"},
        {JackNameNotUnique, "the client name is not unique (JackNameNotUnique)"},
        {JackFailure, "overall operation failed (JackFailure)"},
    };
    std::string words;
    for (const auto& [bit, text] : kBits) {
        if ((status & bit) != 0)
            words += (words.empty() ? "" : ", ") + std::string(text);
    }
    return words.empty() ? "failed with status " + std::to_string(status) : words;
}

}  // namespace

jack_client_t* OpenJackClient(const std::string& name, std::string& failure)
{
    // libjack sets up its shared database on every open: not without a server.
    if (!JackServerMayBeRunning()) {
        failure = "no JACK server is running";
        return nullptr;
    }
    const std::string cut = name.substr(0, static_cast<std::size_t>(jack_client_name_size() - 1));
    jack_status_t status{};
    jack_client_t* client = jack_client_open(cut.c_str(), JackNoStartServer, &status);
    failure = client != nullptr ? "" : "jack_client_open: " + StatusInWords(status);
    return client;
}
