// Sends a bank of wave dump messages to one destination, paced for real
// devices. Each message after the first starts only once the previous one
// has completed and, since then, its wire time at MIDI's 31,250 baud (10
// bits a byte: 96 ms for 300 bytes) plus the gap has passed, so a fast
// transport never overruns a slow cable further down, and the device gets
// the gap to store each wave.
#pragma once

#include "MidiService.h"
#include "WaveDumpBank.h"

#include <chrono>
#include <string>
#include <vector>

// Sends `bank` in order to `destination` (named `port` in messages). One
// line on stdout per message that went out. A message that is refused or
// not delivered stops the run with an account on stderr: exit 4, or 3 when
// the destination is gone. Ctrl-C, SIGTERM or SIGHUP lets the message in
// flight finish and sends no more: 128 + the signal.
int SendBank(const std::vector<BankMessage>& bank, MIDIEndpointRef destination, const std::string& port,
             std::chrono::milliseconds gap);
