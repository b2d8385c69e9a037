#include "SlotFiles.h"

#include "BankModel.h"
#include "MonoWav.h"
#include "WaveFolder.h"

#include <cstdio>

std::vector<WaveFile> SlotWaveFiles(const BankModel& bank, const std::vector<int>& rows, const std::string& folder)
{
    std::vector<WaveFile> files;
    for (const int slot : rows) {
        const BankSlot& held = bank.slotAt(slot);
        if (!held.filled)
            continue;
        char name[24];
        std::snprintf(name, sizeof name, "wave-%03d.wav", WaveOfSlot(slot));
        files.push_back({folder + "/" + name, MonoWavBytes(held.wave, 128)});
    }
    return files;
}

bool WriteSlotFiles(const BankModel& bank, const std::vector<int>& rows, const std::string& folder, bool replace,
                    std::vector<std::string>& paths, std::string& error)
{
    const std::vector<WaveFile> files = SlotWaveFiles(bank, rows, folder);
    paths.clear();
    if (files.empty())
        return true;
    if (!WriteWaveFolder(folder, files, replace, error))
        return false;
    for (const WaveFile& file : files)
        paths.push_back(file.path);
    return true;
}
