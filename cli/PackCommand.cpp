// qwdump pack FILE... [--wave N] [-o OUT.syx]: the wave dump messages of the
// files for consecutive wave numbers, written one after another to a .syx
// file (a bank that qwdump send or amidi -s sends later), or printed as one
// line of hex each.

#include "Command.h"
#include "ExitStatus.h"
#include "FitWave.h"
#include "OutputFile.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "StandardOutput.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

class PackCommand : public Command
{
public:
    explicit PackCommand(CLI::App& app)
        : Command(app.add_subcommand("pack", "Pack WAV files into 300-byte wave dump messages, one wave number each"))
    {
    }

    void AddOptions() override
    {
        AddFilesArgument(m_files);
        m_wave = AddWaveNumberOption(m_waveNumber, kFirstWaveHelp);
        m_subcommand
            ->add_option("--output,-o", m_output,
                         "Write the messages to this .syx file instead of printing each as a line of hex")
            ->check([](const std::string& path) { return path.empty() ? std::string("no file name given") : ""; });
        AddFitOptions(*m_subcommand, m_fit, m_request);
    }

    int Run() override
    {
        for (const std::string& file : m_files) {
            if (!m_output.empty() && IsSameFile(m_output, file)) {
                std::fprintf(stderr, "qwdump: %s: the output would replace the input file; nothing written\n",
                             EscapeControlCharacters(m_output).c_str());
                return kExitUsage;
            }
        }
        std::vector<BankMessage> bank;
        const std::optional<int> firstWave = m_wave->count() > 0 ? std::optional<int>(m_waveNumber) : std::nullopt;
        if (const int status = GatherWaveDumpsOrReport(m_files, firstWave, FitOption(m_fit, m_request), bank);
            status != kExitOk)
            return status;
        std::vector<SysexMessage> messages;
        for (BankMessage& message : bank)
            messages.push_back(std::move(message.bytes));
        if (m_output.empty()) {
            for (const SysexMessage& message : messages)
                PrintHexLine(message);
            return FinishStandardOutput(kExitOk);
        }
        return WriteSyxFileOrReport(m_output, messages) ? kExitOk : kExitFileError;
    }

private:
    std::vector<std::string> m_files;
    int m_waveNumber = 0;
    CLI::Option* m_wave = nullptr;
    std::string m_output;
    std::string m_fit;
    FitRequest m_request;
};

}  // namespace

std::unique_ptr<Command> AddPackCommand(CLI::App& app)
{
    return std::make_unique<PackCommand>(app);
}
