#include "WaveDumpBank.h"

#include "Engine.h"
#include "WaveDump.h"

#include <algorithm>

namespace {

using WaveDump::kFirstWaveNumber;
using WaveDump::kLastWaveNumber;

void PackWave(const std::int16_t (&wave)[128], const std::string& file, int& nextWave, std::vector<BankMessage>& bank)
{
    if (nextWave <= kLastWaveNumber) {
        std::uint8_t msg[WaveDump::kBytes];
        WaveDump::Pack(wave, nextWave - 1, msg);
        bank.push_back({SysexMessage(std::begin(msg), std::end(msg)), file, nextWave});
    }
    ++nextWave;
}

// A wave already gathered from an earlier file gives way to the later copy,
// as within one file: removed, with a notice naming both files.
void DropEarlierCopies(std::vector<BankMessage>& bank, std::size_t from, ReadNotes& notes)
{
    for (std::size_t later = from; later < bank.size(); ++later) {
        const auto earlier = std::find_if(bank.begin(), bank.begin() + static_cast<std::ptrdiff_t>(from),
                                          [&](const BankMessage& m) { return m.waveNumber == bank[later].waveNumber; });
        if (earlier == bank.begin() + static_cast<std::ptrdiff_t>(from))
            continue;
        notes.notices.push_back("wave " + std::to_string(earlier->waveNumber) + " is in " + earlier->file +
                                " and again in " + bank[later].file + "; the later copy replaces it");
        bank.erase(earlier);
        --from;
        --later;
    }
}

}  // namespace

Gathered GatherWaveDumps(const std::vector<std::string>& files, std::optional<int> firstWave, const FitRequest* fit,
                         std::vector<BankMessage>& bank, ReadNotes& notes)
{
    // All are opened first: a .syx file is told by its first byte.
    std::vector<InputFile> inputs;
    inputs.reserve(files.size());
    for (const std::string& file : files)
        inputs.emplace_back(file);
    const auto wavFiles =
        static_cast<int>(std::count_if(inputs.begin(), inputs.end(), [](const InputFile& in) { return !in.IsSyx(); }));
    if (wavFiles > 0 && !firstWave) {
        notes.failure = "WAV files need a first wave number";
        return Gathered::kFirstWaveMissing;
    }
    if (wavFiles == 0 && firstWave)
        notes.firstWaveUnused = true;
    // Each WAV file is one wave at least: too many are refused unread.
    if (wavFiles > 0 && !(notes.failure = BankOverflow(*firstWave, *firstWave + wavFiles)).empty())
        return Gathered::kPastLastWave;

    int nextWave = firstWave.value_or(kFirstWaveNumber);
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::size_t gathered = bank.size();
        if (inputs[i].IsSyx()) {
            std::vector<SysexMessage> messages;
            if (!inputs[i].ReadSyx(messages, notes))
                return Gathered::kUnreadable;
            for (SysexMessage& message : messages) {
                const int wave = message[5] + 1;
                bank.push_back({std::move(message), files[i], wave});
            }
        } else if (fit != nullptr) {
            FittedTable table;
            if (!inputs[i].Fit(*fit, table, notes))
                return Gathered::kUnreadable;
            PackFittedFrames(table, files[i], nextWave, bank);
        } else {
            CEngine loaded;
            if (!inputs[i].LoadWave(loaded, notes))
                return Gathered::kUnreadable;
            PackWave(loaded.m_anWave, files[i], nextWave, bank);
        }
        DropEarlierCopies(bank, gathered, notes);
    }
    if (wavFiles > 0 && !(notes.failure = BankOverflow(*firstWave, nextWave)).empty())
        return Gathered::kPastLastWave;
    return Gathered::kBank;
}

void PackFittedFrames(const FittedTable& table, const std::string& file, int& nextWave, std::vector<BankMessage>& bank)
{
    for (const FittedFrame& frame : table.frames)
        PackWave(frame.samples, file, nextWave, bank);
}

std::string BankOverflow(int firstWave, int nextWave)
{
    if (nextWave - 1 <= kLastWaveNumber)
        return "";
    return std::to_string(nextWave - firstWave) + " waves from wave " + std::to_string(firstWave) +
           " would end at wave " + std::to_string(nextWave - 1) + ", past " + std::to_string(kLastWaveNumber) +
           "; nothing done";
}

SysexMessage SyxBytes(const std::vector<BankMessage>& bank)
{
    SysexMessage bytes;
    for (const BankMessage& message : bank)
        bytes.insert(bytes.end(), message.bytes.begin(), message.bytes.end());
    return bytes;
}
