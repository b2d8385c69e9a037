// qwdump compare A B: whether two banks hold the same waves, wave number by
// wave number, A being the reference. Each is a .syx bank or a folder of
// WAV files named as unpack writes them (wave-097.wav ...), each loaded as
// the window loads a file and packed for its wave number. Exit status 0
// when they match, 1 when they differ, 2 when one can't be read (as cmp).

#include "BankComparison.h"
#include "Command.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "StandardOutput.h"
#include "WaveDump.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

constexpr int kExitDiffer = 1;
constexpr int kExitUnreadable = 2;

// The waves of a folder's wave-NNN.wav files; false, said on stderr, when
// one does not load.
bool ReadWaveFolder(const std::string& folder, std::vector<SysexMessage>& bank)
{
    for (int wave = WaveDump::kFirstWaveNumber; wave <= WaveDump::kLastWaveNumber; ++wave) {
        char name[16];
        std::snprintf(name, sizeof name, "wave-%03d.wav", wave);
        const std::string path = (std::filesystem::path(folder) / name).string();
        std::error_code error;
        if (!std::filesystem::exists(path, error))
            continue;
        CEngine loaded;
        if (ReadNotes notes; !Reported(InputFile(path).LoadWave(loaded, notes), notes))
            return false;
        std::uint8_t message[WaveDump::kBytes];
        WaveDump::Pack(loaded.m_anWave, wave - 1, message);
        bank.emplace_back(std::begin(message), std::end(message));
    }
    return true;
}

bool ReadBank(const std::string& path, std::vector<SysexMessage>& bank)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error))
        return ReadWaveFolder(path, bank);
    ReadNotes notes;
    return Reported(InputFile(path).ReadSyx(bank, notes, true), notes);
}

// Nothing matches nothing: a script's `compare A B && ...` must not pass on
// an input that holds no wave. Said on stderr, naming it.
bool HoldsWaves(const std::string& path, const std::vector<SysexMessage>& bank)
{
    if (!bank.empty())
        return true;
    std::error_code error;
    std::fprintf(stderr, "qwdump: %s: holds no %s\n", EscapeControlCharacters(path).c_str(),
                 std::filesystem::is_directory(path, error) ? "wave-NNN.wav file" : "wave dump message");
    return false;
}

class CompareCommand : public Command
{
public:
    explicit CompareCommand(CLI::App& app)
        : Command(app.add_subcommand("compare", "Say whether two banks hold the same waves: exit 0 when they match, "
                                                "1 when they differ, 2 when one can't be read"))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_option("A", m_reference, "A .syx bank, or a folder of wave-NNN.wav files, to compare with")
            ->required();
        m_subcommand->add_option("B", m_other, "The .syx bank, or folder of wave-NNN.wav files, compared")->required();
    }

    int Run() override
    {
        std::vector<SysexMessage> reference;
        std::vector<SysexMessage> other;
        if (!ReadBank(m_reference, reference) || !ReadBank(m_other, other))
            return kExitUnreadable;
        if (!HoldsWaves(m_reference, reference) || !HoldsWaves(m_other, other))
            return kExitDiffer;
        const BankComparison comparison = CompareBanks(reference, other);
        Print("%s\n",
              EscapeControlCharacters(comparison.Summary("in " + m_other, m_reference,
                                                         {"is missing from " + m_other, "are missing from " + m_other}))
                  .c_str());
        // An output that failed is trouble, never a verdict.
        if (FinishStandardOutput(kExitOk) != kExitOk)
            return kExitUnreadable;
        return comparison.Matches() ? kExitOk : kExitDiffer;
    }

private:
    std::string m_reference;
    std::string m_other;
};

}  // namespace

std::unique_ptr<Command> AddCompareCommand(CLI::App& app)
{
    return std::make_unique<CompareCommand>(app);
}
