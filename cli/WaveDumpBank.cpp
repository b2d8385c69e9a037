#include "WaveDumpBank.h"

#include "Engine.h"
#include "ExitStatus.h"
#include "LoadWave.h"
#include "WaveNumber.h"

#include <algorithm>
#include <cstdio>

int GatherWaveDumps(const std::vector<std::string>& files, std::optional<int> firstWave,
                    const std::string& fitMethod, std::vector<BankMessage>& bank)
{
    std::vector<bool> isSyx;
    for (const std::string& file : files)
        isSyx.push_back(LooksLikeSyxFile(file));
    const auto wavFiles = static_cast<int>(std::count(isSyx.begin(), isSyx.end(), false));
    if (wavFiles > 0 && !firstWave) {
        std::fprintf(stderr, "qwdump: --wave is required for WAV files: the first one goes to that wave number\n");
        return kExitUsage;
    }
    if (wavFiles > 0 && *firstWave + wavFiles - 1 > kLastWaveNumber) {
        std::fprintf(stderr, "qwdump: %d WAV files from wave %d would end at wave %d, past %d; nothing done\n",
                     wavFiles, *firstWave, *firstWave + wavFiles - 1, kLastWaveNumber);
        return kExitUsage;
    }

    int nextWave = firstWave.value_or(kFirstWaveNumber);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (isSyx[i]) {
            std::vector<SysexMessage> messages;
            std::string error;
            if (!ReadSyxFile(files[i], messages, error)) {
                std::fprintf(stderr, "qwdump: %s: %s\n", files[i].c_str(), error.c_str());
                return kExitFileError;
            }
            for (SysexMessage& message : messages) {
                const int wave = message[5] + 1;
                bank.push_back({std::move(message), files[i], wave});
            }
            continue;
        }
        if (!LoadWaveOrReport(files[i], fitMethod))
            return kExitFileError;
        std::uint32_t length = 0;
        const std::uint8_t* msg = s_Engine.PackWavToSysex(nextWave - 1, length);
        bank.push_back({SysexMessage(msg, msg + length), files[i], nextWave++});
    }
    return kExitOk;
}
