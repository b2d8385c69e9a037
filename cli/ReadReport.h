// What reading the user's files had to say, on stderr: qwdump's side of
// ReadNotes.
#pragma once

#include "InputFile.h"
#include "WaveDumpBank.h"

// Writes each notice, then the failure, as "qwdump: LINE"; returns `read`.
bool Reported(bool read, const ReadNotes& notes);

// GatherWaveDumps, said on stderr. Returns the exit status: 0 with `bank`
// filled, 2 when a WAV file is given without a first wave number or the
// numbers would pass 128, 1 when a file does not load or is not a
// well-formed bank.
int GatherWaveDumpsOrReport(const std::vector<std::string>& files, std::optional<int> firstWave, const FitRequest* fit,
                            std::vector<BankMessage>& bank);
