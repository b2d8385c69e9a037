// The one way both the MIDI backend and the audio preview open a JACK
// client: never without a server (JackServerPresence.h), never starting one
// (that takes seconds, and fails without a sound card), and under a name
// cut to the length libjack takes.
#pragma once

#include <jack/types.h>

#include <string>

// The client, or null with `failure` saying why: "no JACK server is
// running", or the failing call and its status in words
// ("jack_client_open: unable to connect to the JACK server
// (JackServerFailed), overall operation failed (JackFailure)").
jack_client_t* OpenJackClient(const std::string& name, std::string& failure);
