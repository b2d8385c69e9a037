// The bank's slots as WAV files, one wave-NNN.wav each, as qwdump unpack
// writes them: what Export writes and a drag out of the panel carries.
#pragma once

#include <string>
#include <vector>

class BankModel;
struct WaveFile;

// The files of the filled slots among `rows`, in `folder`.
std::vector<WaveFile> SlotWaveFiles(const BankModel& bank, const std::vector<int>& rows, const std::string& folder);

// Writes them, all or none (an existing file replaced only when `replace`);
// `paths` gets each file's path. On failure returns false with `error` set.
bool WriteSlotFiles(const BankModel& bank, const std::vector<int>& rows, const std::string& folder, bool replace,
                    std::vector<std::string>& paths, std::string& error);
