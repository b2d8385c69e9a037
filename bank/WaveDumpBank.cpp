#include "WaveDumpBank.h"

#include "Engine.h"
#include "ExitStatus.h"
#include "FitWave.h"
#include "InputFile.h"
#include "WaveNumber.h"

#include <algorithm>
#include <cstdio>

namespace {

void PackEngineWave(const std::string& file, int& nextWave, std::vector<BankMessage>& bank)
{
    if (nextWave <= kLastWaveNumber) {
        std::uint32_t length = 0;
        const std::uint8_t* msg = s_Engine.PackWavToSysex(nextWave - 1, length);
        bank.push_back({SysexMessage(msg, msg + length), file, nextWave});
    }
    ++nextWave;
}

}  // namespace

int GatherWaveDumps(const std::vector<std::string>& files, std::optional<int> firstWave, const FitRequest* fit,
                    std::vector<BankMessage>& bank)
{
    // All are opened first: a .syx file is told by its first byte.
    std::vector<InputFile> inputs;
    inputs.reserve(files.size());
    for (const std::string& file : files)
        inputs.emplace_back(file);
    const auto wavFiles =
        static_cast<int>(std::count_if(inputs.begin(), inputs.end(), [](const InputFile& in) { return !in.IsSyx(); }));
    if (wavFiles > 0 && !firstWave) {
        std::fprintf(stderr, "qwdump: --wave is required for WAV files: the first one goes to that wave number\n");
        return kExitUsage;
    }
    // Each WAV file is one wave at least: too many are refused unread.
    if (wavFiles > 0 && !BankFits(*firstWave, *firstWave + wavFiles))
        return kExitUsage;

    int nextWave = firstWave.value_or(kFirstWaveNumber);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (inputs[i].IsSyx()) {
            std::vector<SysexMessage> messages;
            if (!inputs[i].ReadSyxOrReport(messages))
                return kExitFileError;
            for (SysexMessage& message : messages) {
                const int wave = message[5] + 1;
                bank.push_back({std::move(message), files[i], wave});
            }
        } else if (fit != nullptr) {
            FittedTable table;
            if (!inputs[i].FitOrReport(*fit, table))
                return kExitFileError;
            PackFittedFrames(table, files[i], nextWave, bank);
        } else {
            if (!inputs[i].LoadWaveOrReport())
                return kExitFileError;
            PackEngineWave(files[i], nextWave, bank);
        }
    }
    return wavFiles == 0 || BankFits(*firstWave, nextWave) ? kExitOk : kExitUsage;
}

void PackFittedFrames(const FittedTable& table, const std::string& file, int& nextWave, std::vector<BankMessage>& bank)
{
    for (const FittedFrame& frame : table.frames) {
        std::copy(std::begin(frame.samples), std::end(frame.samples), s_Engine.m_anWave);
        s_Engine.m_bLoaded = 1;
        s_Engine.m_bResampled = table.frameSize != 128;
        s_Engine.m_pszError = "";
        PackEngineWave(file, nextWave, bank);
    }
}

bool BankFits(int firstWave, int nextWave)
{
    if (nextWave - 1 <= kLastWaveNumber)
        return true;
    std::fprintf(stderr, "qwdump: %d waves from wave %d would end at wave %d, past %d; nothing done\n",
                 nextWave - firstWave, firstWave, nextWave - 1, kLastWaveNumber);
    return false;
}

SysexMessage SyxBytes(const std::vector<BankMessage>& bank)
{
    SysexMessage bytes;
    for (const BankMessage& message : bank)
        bytes.insert(bytes.end(), message.bytes.begin(), message.bytes.end());
    return bytes;
}
