// A set of WAV files written into one folder whole or not at all, as unpack
// and morph write them: every file is looked at first, an existing one is
// replaced only when forced, the folder (and its missing parents) is made
// when missing, and the files go in place together through OutputSet. On
// any failure nothing is left of the set, not even the folders made for it.
#pragma once

#include <string>
#include <vector>

struct WaveFile
{
    std::string path;   // inside the folder
    std::string bytes;  // the whole WAV file
};

// On failure returns false with `error` set to the line qwdump prints after
// "qwdump: ", e.g. "waves/wave-097.wav exists; nothing written (--force
// replaces it)".
bool WriteWaveFolder(const std::string& folder, const std::vector<WaveFile>& files, bool force, std::string& error);
