// The window's Send and Send To: the engine's wave goes out as a bank of
// one, through the same sender as a bank (BankSender.h).
#pragma once

#include "DumpSender.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

struct WaveDumpSend
{
    bool portFound;   // false: the alert was shown and nothing was sent
    OSStatus status;  // what MIDISendSysex returned (logged either way)
};

// `portTitle` is the selected port title, none when the port popup is empty;
// `waveTitle` is the selected wave number, "97" to "128". The engine's wave
// is packed at once, so what goes out is what the user saw. The destination
// is looked up and the send handed over from the pump (MidiService.h), after
// the sends asked for before this one; `done` then learns how it went. The
// log line and the alert tell what happened; `outcome`, when given, learns
// how the send ended (the window's status line says it).
void SendWaveDump(const std::optional<std::string>& portTitle, const std::string& waveTitle,
                  std::function<void(const WaveDumpSend&)> done = {}, std::shared_ptr<SysexOutcome> outcome = nullptr);
