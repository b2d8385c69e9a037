// qwdump fit IN -o OUT [--frame-size N] [--frames LIST] [--method M]
// [--normalize] [--wave N]: the best 128-sample wave of each frame of any
// audio file, one cycle or a wavetable, as files the window and pack take
// sample for sample: a WAV file, a folder of them, or a bank of wave dumps.

#include "Command.h"
#include "ExitStatus.h"
#include "FitWave.h"
#include "FrameFolder.h"
#include "MonoWav.h"
#include "OutputFile.h"
#include "PrintableText.h"
#include "StandardOutput.h"
#include "WaveDumpBank.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <string>

namespace {

enum class Output { kWav, kFolder, kSyx };

Output OutputKind(const std::string& path)
{
    std::string end = path.substr(path.size() - std::min<std::size_t>(path.size(), 4));
    std::transform(end.begin(), end.end(), end.begin(), [](unsigned char c) { return std::tolower(c); });
    if (end == ".syx")
        return Output::kSyx;
    std::error_code ignored;
    return path.back() == '/' || std::filesystem::is_directory(path, ignored) ? Output::kFolder : Output::kWav;
}

// "1-4,9,12": the frame numbers, runs shortened.
std::string FrameList(const FittedTable& table)
{
    std::string list;
    const auto& frames = table.frames;
    for (std::size_t i = 0; i < frames.size();) {
        std::size_t run = i;
        while (run + 1 < frames.size() && frames[run + 1].number == frames[run].number + 1)
            ++run;
        list += (list.empty() ? "" : ",") + std::to_string(frames[i].number) +
                (run > i ? "-" + std::to_string(frames[run].number) : "");
        i = run + 1;
    }
    return list;
}

const char* FrameSizeOrigin(FrameSizeFrom from)
{
    switch (from) {
    case FrameSizeFrom::kRequest:
        return "--frame-size";
    case FrameSizeFrom::kClmChunk:
        return "clm chunk";
    case FrameSizeFrom::kSrgeChunk:
        return "srge chunk";
    case FrameSizeFrom::kUhwtChunk:
        return "uhWT chunk";
    default:
        return "whole file";
    }
}

class FitCommand : public Command
{
public:
    explicit FitCommand(CLI::App& app)
        : Command(app.add_subcommand(
              "fit", "Fit any audio file, one cycle or each frame of a wavetable, to 128-sample waves: a WAV file, a "
                     "folder of them, or a .syx bank")),
          m_verbose(app.get_option("--verbose"))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_option("IN", m_input, "Audio file: WAV, AIFF, FLAC, ... (all channels averaged)")->required();
        m_subcommand
            ->add_option("--output,-o", m_output,
                         "OUT.wav: the one 128-sample mono 16-bit WAV file of one cycle or one frame; DIR/: a WAV "
                         "file per frame, DIR/frame-001.wav ..., never replacing one; OUT.syx: a bank of wave "
                         "dumps, with --wave")
            ->required()
            ->check([](const std::string& path) { return path.empty() ? std::string("no file name given") : ""; });
        AddWaveNumberOption(m_waveNumber, "With OUT.syx: the wave number of the first frame, 97 to 128; the next "
                                          "ones follow");
        AddFrameOptions(*m_subcommand, m_request);
        m_subcommand->add_option("--method,-m", m_method, "harmonic, or nearest-sample picking as the window fits")
            ->check(CLI::IsMember(kFitMethods))
            ->capture_default_str();
        m_subcommand->add_flag("--normalize,-n", m_request.normalize,
                               "Scale the peak of the whole table to full scale, 32767");
    }

    int Run() override
    {
        const Output output = OutputKind(m_output);
        if (output != Output::kFolder && IsSameFile(m_input, m_output)) {
            std::fprintf(stderr, "qwdump: %s: the output would replace the input file; nothing written\n",
                         EscapeControlCharacters(m_output).c_str());
            return kExitUsage;
        }
        if ((output == Output::kSyx) != (m_waveNumber != 0)) {
            std::fprintf(stderr, "qwdump: --wave %s\n",
                         m_waveNumber != 0 ? "goes only with a .syx output" : "is required with a .syx output");
            return kExitUsage;
        }
        m_request.method = kFitMethods.at(m_method);
        FittedTable table;
        if (!FitTableOrReport(m_input, m_request, table))
            return kExitFileError;
        if (output == Output::kWav && table.frames.size() > 1) {
            std::fprintf(stderr,
                         "qwdump: %s: %zu frames taken; a WAV file holds one: pick it with --frames N, or write "
                         "a folder (-o DIR/) or a bank (-o OUT.syx --wave N)\n",
                         EscapeControlCharacters(m_input).c_str(), table.frames.size());
            return kExitUsage;
        }
        if (const int status = Write(output, table); status != kExitOk)
            return status;
        Report(table);
        return FinishStandardOutput(kExitOk);
    }

private:
    int Write(Output output, const FittedTable& table) const
    {
        std::string bytes;
        if (output == Output::kSyx) {
            std::vector<BankMessage> bank;
            int nextWave = m_waveNumber;
            PackFittedFrames(table, m_input, nextWave, bank);
            if (const std::string overflow = BankOverflow(m_waveNumber, nextWave); !overflow.empty()) {
                std::fprintf(stderr, "qwdump: %s\n", overflow.c_str());
                return kExitUsage;
            }
            const SysexMessage syx = SyxBytes(bank);
            bytes.assign(syx.begin(), syx.end());
        } else if (output == Output::kWav) {
            bytes = MonoWavBytes(table.frames.front().samples, 128);
        }
        std::string error;
        if (output == Output::kFolder ? WriteFrameFolder(m_output, table, error)
                                      : WriteOutputFile(m_output, bytes.data(), bytes.size(), error))
            return kExitOk;
        std::fprintf(stderr, "qwdump: cannot write %s: %s\n", EscapeControlCharacters(m_output).c_str(),
                     EscapeControlCharacters(error).c_str());
        return kExitFileError;
    }

    void Report(const FittedTable& table) const
    {
        const char* channels = table.sourceChannels == 1 ? "" : "s";
        if (table.frameCount == 1) {
            const FittedFrame& frame = table.frames.front();
            Print("%s: %lld frames, %s, %d channel%s; energy above harmonic 63: %.1f dB; nearest vs harmonic: "
                  "%.1f dB\n",
                  m_method.c_str(), static_cast<long long>(table.sourceFrames), table.sourceFormat.c_str(),
                  table.sourceChannels, channels, frame.aboveHarmonic63Db, frame.nearestVsHarmonicDb);
            return;
        }
        double worst = -std::numeric_limits<double>::infinity();
        for (const FittedFrame& frame : table.frames) {
            worst = std::max(worst, frame.aboveHarmonic63Db);
            if (m_verbose->count() > 0)
                Print("frame %lld: energy above harmonic 63: %.1f dB; nearest vs harmonic: %.1f dB\n",
                      static_cast<long long>(frame.number), frame.aboveHarmonic63Db, frame.nearestVsHarmonicDb);
        }
        Print("%s: %lld frames of %lld samples (%s), %s, %d channel%s; took %zu (%s); worst energy above harmonic "
              "63: %.1f dB\n",
              m_method.c_str(), static_cast<long long>(table.frameCount), static_cast<long long>(table.frameSize),
              FrameSizeOrigin(table.frameSizeFrom), table.sourceFormat.c_str(), table.sourceChannels, channels,
              table.frames.size(), FrameList(table).c_str(), worst);
    }

    const CLI::Option* m_verbose;
    std::string m_input;
    std::string m_output;
    int m_waveNumber = 0;
    std::string m_method = "harmonic";
    FitRequest m_request;
};

}  // namespace

std::unique_ptr<Command> AddFitCommand(CLI::App& app)
{
    return std::make_unique<FitCommand>(app);
}
