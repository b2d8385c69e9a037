#include "ReadReport.h"

#include "ExitStatus.h"
#include "PrintableText.h"

#include <cstdio>

bool Reported(bool read, const ReadNotes& notes)
{
    for (const std::string& notice : notes.notices)
        std::fprintf(stderr, "qwdump: %s\n", EscapeControlCharacters(notice).c_str());
    if (!read)
        std::fprintf(stderr, "qwdump: %s\n", EscapeControlCharacters(notes.failure).c_str());
    return read;
}

int GatherWaveDumpsOrReport(const std::vector<std::string>& files, std::optional<int> firstWave, const FitRequest* fit,
                            std::vector<BankMessage>& bank)
{
    ReadNotes notes;
    const Gathered gathered = GatherWaveDumps(files, firstWave, fit, bank, notes);
    if (notes.firstWaveUnused)
        std::fprintf(stderr, "qwdump: --wave %d is not used: .syx messages keep their own wave numbers\n", *firstWave);
    if (gathered == Gathered::kFirstWaveMissing) {
        std::fprintf(stderr, "qwdump: --wave is required for WAV files: the first one goes to that wave number\n");
        return kExitUsage;
    }
    Reported(gathered == Gathered::kBank, notes);
    return gathered == Gathered::kBank ? kExitOk : gathered == Gathered::kPastLastWave ? kExitUsage : kExitFileError;
}
