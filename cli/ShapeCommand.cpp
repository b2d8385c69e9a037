// qwdump shape IN.wav -o OUT.wav [--normalize] [--remove-dc] [--smooth N]
// [--invert] [--reverse] [--shift-left N] [--shift-right N]: the wave the
// window loads from IN, shaped as its Shape menu shapes it, one step per
// option in the order given (each as often as given), written as a
// 128-sample WAV file.

#include "Command.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "MonoWav.h"
#include "NumberOption.h"
#include "OutputFile.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "WaveShapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>

namespace {

class ShapeCommand : public Command
{
public:
    explicit ShapeCommand(CLI::App& app)
        : Command(app.add_subcommand("shape", "Shape the 128-sample wave of a WAV file, step by step in the order "
                                              "given, into a new WAV file"))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_option("IN", m_input, "WAV file, read as the window reads it")->required();
        m_subcommand->add_option("--output,-o", m_output, "The 128-sample mono 16-bit WAV file to write")
            ->required()
            ->check([](const std::string& path) { return path.empty() ? std::string("no file name given") : ""; });
        m_steps = {
            m_subcommand->add_flag("--normalize", "Scale the peak to full scale, 32767 (a peak of -32768 too)"),
            m_subcommand->add_flag("--remove-dc", "Take the mean away (a wave that would then pass 16 bits is "
                                                  "scaled down as a whole)"),
            AddCountOption("--smooth", 1000, "passes",
                           "Smooth N times with a gentle circular low-pass (1/4, 1/2, 1/4)"),
            m_subcommand->add_flag("--invert", "Turn the wave upside down (-32768 becomes 32767)"),
            m_subcommand->add_flag("--reverse", "Play the wave backwards: the last sample first"),
            AddCountOption("--shift-left", 127, "samples", "Move the wave N samples earlier, round the cycle"),
            AddCountOption("--shift-right", 127, "samples", "Move the wave N samples later, round the cycle"),
        };
    }

    int Run() override
    {
        if (IsSameFile(m_input, m_output)) {
            std::fprintf(stderr, "qwdump: %s: the output would replace the input file; nothing written\n",
                         EscapeControlCharacters(m_output).c_str());
            return kExitUsage;
        }
        if (!std::any_of(m_steps.begin(), m_steps.end(), [](const CLI::Option* step) { return step->count() > 0; })) {
            std::fprintf(stderr, "qwdump: shape: no step given; name one or more of --normalize, --remove-dc, "
                                 "--smooth N, --invert, --reverse, --shift-left N, --shift-right N\n");
            return kExitUsage;
        }
        CEngine loaded;
        if (ReadNotes notes; !Reported(InputFile(m_input).LoadWave(loaded, notes), notes))
            return kExitFileError;
        Wave16 wave;
        std::copy(std::begin(loaded.m_anWave), std::end(loaded.m_anWave), wave.begin());
        std::map<const CLI::Option*, std::size_t> taken;  // the values of each option used so far
        for (const CLI::Option* step : m_subcommand->parse_order()) {
            const auto found = std::find(m_steps.begin(), m_steps.end(), step);
            if (found == m_steps.end())
                continue;
            // A flag's results are its own; a number's, each one given.
            const int n = step->get_expected_min() > 0 ? std::stoi(step->results().at(taken[step]++)) : 0;
            Apply(static_cast<Step>(found - m_steps.begin()), n, wave);
        }
        const std::string bytes = MonoWavBytes(wave.data(), wave.size());
        std::string error;
        if (!WriteOutputFile(m_output, bytes.data(), bytes.size(), error)) {
            std::fprintf(stderr, "qwdump: cannot write %s: %s\n", EscapeControlCharacters(m_output).c_str(),
                         EscapeControlCharacters(error).c_str());
            return kExitFileError;
        }
        return kExitOk;
    }

private:
    // In the order of m_steps.
    enum Step { kNormalize, kRemoveDc, kSmooth, kInvert, kReverse, kShiftLeft, kShiftRight };

    CLI::Option* AddCountOption(const char* name, int most, const char* unit, const char* help)
    {
        // Each occurrence takes one value, and all are kept, in order.
        return m_subcommand->add_option(name)
            ->description(help)
            ->type_size(1)
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->type_name("INT")
            ->transform(WholeNumberIn(1, most, unit));
    }

    void Apply(Step step, int n, Wave16& wave) const
    {
        switch (step) {
        case kNormalize:
            Normalize(wave);
            break;
        case kRemoveDc:
            if (const double gain = RemoveDc(wave); gain != 1.0)
                std::fprintf(stderr, "qwdump: %s: scaled down by %.2g dB after --remove-dc to fit the 16-bit range\n",
                             EscapeControlCharacters(m_input).c_str(), -20.0 * std::log10(gain));
            break;
        case kSmooth:
            Smooth(wave, n);
            break;
        case kInvert:
            Invert(wave);
            break;
        case kReverse:
            Reverse(wave);
            break;
        case kShiftLeft:
            Shift(wave, -n);
            break;
        case kShiftRight:
            Shift(wave, n);
            break;
        }
    }

    std::string m_input;
    std::string m_output;
    std::vector<CLI::Option*> m_steps;
};

}  // namespace

std::unique_ptr<Command> AddShapeCommand(CLI::App& app)
{
    return std::make_unique<ShapeCommand>(app);
}
