// qwdump pack FILE --wave N [-o OUT.syx]: the wave dump message for FILE,
// as a .syx file or as one line of hex on stdout.

#include "Command.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "LoadWave.h"
#include "OutputFile.h"
#include "StandardOutput.h"

#include <cstdio>
#include <string>

namespace {

class PackCommand : public Command
{
public:
    explicit PackCommand(CLI::App& app)
        : Command(app.add_subcommand("pack", "Pack a WAV file into the 300-byte wave dump message"))
    {
        AddWavFileArgument(m_file);
        AddWaveNumberOption(m_waveNumber);
        m_subcommand
            ->add_option("--output,-o", m_output, "Write the message to this .syx file instead of printing it as hex")
            ->check([](const std::string& path) { return path.empty() ? std::string("no file name given") : ""; });
        AddFitOption(*m_subcommand, m_fit);
    }

    int Run() override
    {
        if (!m_output.empty() && IsSameFile(m_output, m_file)) {
            std::fprintf(stderr, "qwdump: %s: the output would replace the input file; nothing written\n",
                         m_output.c_str());
            return kExitUsage;
        }
        if (!LoadWaveOrReport(m_file, m_fit))
            return kExitFileError;
        std::uint32_t length = 0;
        const std::uint8_t* msg = s_Engine.PackWavToSysex(m_waveNumber - 1, length);
        if (m_output.empty()) {
            PrintHex(msg, length);
            return FinishStandardOutput(kExitOk);
        }
        return WriteSyx(msg, length) ? kExitOk : kExitFileError;
    }

private:
    static void PrintHex(const std::uint8_t* msg, std::uint32_t length)
    {
        std::string line;
        line.reserve(length * 3);
        static const char kDigits[] = "0123456789ABCDEF";
        for (std::uint32_t i = 0; i < length; ++i) {
            if (i != 0)
                line += ' ';
            line += kDigits[msg[i] >> 4];
            line += kDigits[msg[i] & 0xF];
        }
        line += '\n';
        Print("%s", line.c_str());
    }

    bool WriteSyx(const std::uint8_t* msg, std::uint32_t length) const
    {
        std::string error;
        if (WriteOutputFile(m_output, msg, length, error))
            return true;
        std::fprintf(stderr, "qwdump: cannot write %s: %s\n", m_output.c_str(), error.c_str());
        return false;
    }

    std::string m_file;
    int m_waveNumber = 0;
    std::string m_output;
    std::string m_fit;
};

}  // namespace

std::unique_ptr<Command> AddPackCommand(CLI::App& app)
{
    return std::make_unique<PackCommand>(app);
}
