// qwdump morph A.wav B.wav --steps N -o DIR/ [--harmonic] [--force]: the
// waves the window loads from A and B, and N waves between them, as
// DIR/morph-001.wav (A) to DIR/morph-NNN.wav (B): a table ready for
// "qwdump pack DIR/morph-*.wav --wave 97", which --steps 30 makes a bank of 32.

#include "Command.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "InputGuard.h"
#include "MonoWav.h"
#include "NumberOption.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "StandardOutput.h"
#include "WaveFolder.h"
#include "WaveMorph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

class MorphCommand : public Command
{
public:
    explicit MorphCommand(CLI::App& app)
        : Command(app.add_subcommand("morph", "Make the waves between two WAV files' waves, into a folder of WAV "
                                              "files from the one to the other: DIR/morph-001.wav ..."))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_option("A", m_from, "WAV file of the first wave, read as the window reads it")->required();
        m_subcommand->add_option("B", m_to, "WAV file of the last wave")->required();
        m_subcommand
            ->add_option("--steps", m_steps,
                         "N: how many waves to make between A and B; A and B are written "
                         "too, as the first and last files")
            ->required()
            ->transform(WholeNumberIn(1, kMostSteps, "waves"));
        m_subcommand->add_option("--output,-o", m_folder, "The folder for the WAV files; made when missing")
            ->required()
            ->check([](const std::string& path) { return path.empty() ? std::string("no folder given") : ""; });
        m_subcommand->add_flag("--harmonic", m_harmonic,
                               "Morph harmonic by harmonic (levels, and phases the shorter way round) instead of "
                               "sample by sample: the brightness changes smoothly, without comb filtering");
        m_subcommand->add_flag("--force,-f", m_force, "Replace WAV files that exist already");
    }

    int Run() override
    {
        Wave16 from;
        Wave16 to;
        if (!Load(m_from, from) || !Load(m_to, to))
            return kExitFileError;
        std::vector<double> gains;
        const std::vector<Wave16> between =
            WavesBetween(from, to, m_steps, m_harmonic ? MorphMethod::kHarmonics : MorphMethod::kSamples, &gains);
        std::vector<WaveFile> files;
        files.push_back({WavPath(1), MonoWavBytes(from.data(), from.size())});
        for (std::size_t i = 0; i < between.size(); ++i) {
            files.push_back({WavPath(files.size() + 1), MonoWavBytes(between[i].data(), between[i].size())});
            if (gains[i] != 1.0)
                std::fprintf(stderr, "qwdump: %s: scaled down by %.2g dB to fit the 16-bit range\n",
                             EscapeControlCharacters(files.back().path).c_str(), -20.0 * std::log10(gains[i]));
        }
        files.push_back({WavPath(files.size() + 1), MonoWavBytes(to.data(), to.size())});
        if (WouldReplaceAnInput(files, {m_from, m_to}))
            return kExitUsage;
        if (std::string error; !WriteWaveFolder(m_folder, files, m_force, error)) {
            std::fprintf(stderr, "qwdump: %s\n", EscapeControlCharacters(error).c_str());
            return kExitFileError;
        }
        Print("Morphed %s to %s %s: %s to %s, %d waves between\n", EscapeControlCharacters(m_from).c_str(),
              EscapeControlCharacters(m_to).c_str(), m_harmonic ? "harmonic by harmonic" : "sample by sample",
              EscapeControlCharacters(files.front().path).c_str(), EscapeControlCharacters(files.back().path).c_str(),
              m_steps);
        return FinishStandardOutput(kExitOk);
    }

private:
    // A, the waves between and B fill at most the synth's 32 waves.
    static constexpr int kMostSteps = 30;

    static bool Load(const std::string& path, Wave16& wave)
    {
        CEngine loaded;
        if (ReadNotes notes; !Reported(InputFile(path).LoadWave(loaded, notes), notes))
            return false;
        std::copy(std::begin(loaded.m_anWave), std::end(loaded.m_anWave), wave.begin());
        return true;
    }

    std::string WavPath(std::size_t number) const
    {
        char name[16];
        std::snprintf(name, sizeof name, "morph-%03zu.wav", number);
        return (std::filesystem::path(m_folder) / name).string();
    }

    std::string m_from;
    std::string m_to;
    int m_steps = 0;
    std::string m_folder;
    bool m_harmonic = false;
    bool m_force = false;
};

}  // namespace

std::unique_ptr<Command> AddMorphCommand(CLI::App& app)
{
    return std::make_unique<MorphCommand>(app);
}
