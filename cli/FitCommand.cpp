// qwdump fit IN -o OUT.wav [--method harmonic|nearest] [--normalize]: the
// best 128-sample wave from any audio file, as a WAV file the window and
// pack take sample for sample.

#include "Command.h"
#include "ExitStatus.h"
#include "FitWave.h"
#include "MonoWav.h"
#include "OutputFile.h"
#include "StandardOutput.h"

#include <cstdio>
#include <string>

namespace {

class FitCommand : public Command
{
public:
    explicit FitCommand(CLI::App& app)
        : Command(app.add_subcommand("fit", "Fit any audio file, taken as one cycle, to a 128-sample WAV file"))
    {
        m_subcommand->add_option("IN", m_input, "Audio file: WAV, AIFF, FLAC, ... (all channels averaged)")
            ->required();
        m_subcommand->add_option("--output,-o", m_output, "The 128-sample mono 16-bit WAV file to write")
            ->required()
            ->check([](const std::string& path) { return path.empty() ? std::string("no file name given") : ""; });
        m_subcommand->add_option("--method,-m", m_method, "harmonic, or nearest-sample picking as the window fits")
            ->check(CLI::IsMember(kFitMethods))
            ->capture_default_str();
        m_subcommand->add_flag("--normalize,-n", m_request.normalize, "Scale the peak to full scale, 32767");
    }

    int Run() override
    {
        if (IsSameFile(m_input, m_output)) {
            std::fprintf(stderr, "qwdump: %s: the output would replace the input file; nothing written\n",
                         m_output.c_str());
            return kExitUsage;
        }
        m_request.method = kFitMethods.at(m_method);
        FittedWave wave;
        if (!FitWaveOrReport(m_input, m_request, wave))
            return kExitFileError;
        const std::string bytes = MonoWavBytes(wave.samples, 128);
        std::string error;
        if (!WriteOutputFile(m_output, bytes.data(), bytes.size(), error)) {
            std::fprintf(stderr, "qwdump: cannot write %s: %s\n", m_output.c_str(), error.c_str());
            return kExitFileError;
        }
        Print("%s: %lld frames, %s, %d channel%s; energy above harmonic 63: %.1f dB; "
              "nearest vs harmonic: %.1f dB\n",
              m_method.c_str(), static_cast<long long>(wave.sourceFrames), wave.sourceFormat.c_str(),
              wave.sourceChannels, wave.sourceChannels == 1 ? "" : "s", wave.aboveHarmonic63Db,
              wave.nearestVsHarmonicDb);
        return FinishStandardOutput(kExitOk);
    }

private:
    std::string m_input;
    std::string m_output;
    std::string m_method = "harmonic";
    FitRequest m_request;
};

}  // namespace

std::unique_ptr<Command> AddFitCommand(CLI::App& app)
{
    return std::make_unique<FitCommand>(app);
}
