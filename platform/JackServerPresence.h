// Whether a JACK server is there, found without calling libjack. libjack
// (jack2) sets up a database shared by all of a user's JACK programs in
// /dev/shm on every jack_client_open, whether a server runs or not, and a
// process that dies while it does so leaves a lock behind that blocks every
// later JACK program of that user. A machine without a JACK server never
// has libjack do that on our behalf.
#pragma once

#include <string>

// True when the server JACK_DEFAULT_SERVER names ("default" when unset)
// accepts a connection at the socket it listens on, or when the libjack in
// use is PipeWire's, which keeps no such database.
bool JackServerMayBeRunning();

// True when the libjack in use is PipeWire's (run through pw-jack).
bool LibJackIsPipeWires();

// The folder of libjack's shared database: /dev/shm/jack_db-UID.
std::string JackDatabaseFolder();
