// qwdump unpack FILE.syx... -o DIR [--force]: each wave dump message of the
// files becomes DIR/wave-NNN.wav, NNN its wave number: a 128-sample mono
// 16-bit WAV file that the window and pack take sample for sample, so that
// "pack wave-NNN.wav --wave NNN" gives back the very message.

#include "Command.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "InputGuard.h"
#include "MonoWav.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "StandardOutput.h"
#include "WaveDump.h"
#include "WaveFolder.h"

#include <cstdio>
#include <filesystem>
#include <map>

namespace {

class UnpackCommand : public Command
{
public:
    explicit UnpackCommand(CLI::App& app)
        : Command(app.add_subcommand("unpack", "Turn the wave dump messages of .syx files into WAV files, "
                                               "one per wave: DIR/wave-097.wav ..."))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_option("FILE", m_files, ".syx files of wave dump messages")->required();
        m_subcommand->add_option("--output,-o", m_folder, "The folder for the WAV files; made when missing")
            ->required()
            ->check([](const std::string& path) { return path.empty() ? std::string("no folder given") : ""; });
        m_subcommand->add_flag("--force,-f", m_force, "Replace WAV files that exist already");
    }

    int Run() override
    {
        // Every file is read and checked before anything is written.
        Waves waves;
        for (const std::string& file : m_files) {
            std::vector<SysexMessage> messages;
            if (ReadNotes notes; !Reported(InputFile(file).ReadSyx(messages, notes, true), notes))
                return kExitFileError;
            for (SysexMessage& message : messages) {
                const int wave = WaveDump::WaveNumberOf(message.data());
                // The later copy of a wave replaces the earlier, as in one file.
                const auto [it, added] = waves.try_emplace(wave, message, file);
                if (!added) {
                    std::fprintf(stderr, "qwdump: wave %d is in %s and again in %s; the later copy replaces it\n", wave,
                                 EscapeControlCharacters(it->second.second).c_str(),
                                 EscapeControlCharacters(file).c_str());
                    it->second = {std::move(message), file};
                }
            }
        }
        if (waves.empty()) {
            std::fprintf(stderr, "qwdump: no wave dump message in %s; nothing written\n",
                         EscapeControlCharacters(FileList()).c_str());
            return kExitFileError;
        }
        std::vector<WaveFile> files;
        for (const auto& [wave, message] : waves) {
            std::int16_t samples[128];
            WaveDump::Unpack(message.first.data(), samples);
            files.push_back({WavPath(wave), MonoWavBytes(samples, 128)});
        }
        if (WouldReplaceAnInput(files, m_files))
            return kExitUsage;
        if (std::string error; !WriteWaveFolder(m_folder, files, m_force, error)) {
            std::fprintf(stderr, "qwdump: %s\n", EscapeControlCharacters(error).c_str());
            return kExitFileError;
        }
        for (const auto& [wave, message] : waves)
            Print("Unpacked wave %d (%s) to %s\n", wave, EscapeControlCharacters(message.second).c_str(),
                  EscapeControlCharacters(WavPath(wave)).c_str());
        return FinishStandardOutput(kExitOk);
    }

private:
    using Waves = std::map<int, std::pair<SysexMessage, std::string>>;  // by wave number: message, file

    std::string FileList() const
    {
        std::string list;
        for (const std::string& file : m_files)
            list += (list.empty() ? "" : ", ") + file;
        return list;
    }

    std::string WavPath(int wave) const
    {
        char name[16];
        std::snprintf(name, sizeof name, "wave-%03d.wav", wave);
        return (std::filesystem::path(m_folder) / name).string();
    }

    std::vector<std::string> m_files;
    std::string m_folder;
    bool m_force = false;
};

}  // namespace

std::unique_ptr<Command> AddUnpackCommand(CLI::App& app)
{
    return std::make_unique<UnpackCommand>(app);
}
