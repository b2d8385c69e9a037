// qwdump show FILE: how the wave was read, its 128 samples, and a small
// picture of it drawn like the window's view (bars from the zero line). For
// a .syx file, one such block for each wave dump message in it.

#include "Command.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "InputFile.h"
#include "PrintableText.h"
#include "ReadReport.h"
#include "StandardOutput.h"
#include "SyxFile.h"
#include "WaveDump.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kRowsPerHalf = 8;      // picture rows above (and below) the zero line
constexpr int kPictureColumns = 64;  // one column per two samples

using Wave = std::int16_t[128];

void PrintSamples(const Wave& wave)
{
    for (int i = 0; i < 128; i += 8) {
        Print("%3d:", i);
        for (int k = i; k < i + 8; ++k)
            Print(" %6d", wave[k]);
        Print("\n");
    }
}

// Each column shows the first of its two samples as a bar of '#' rising
// above or hanging below the zero line, in steps of 1/8 of full scale.
void PrintPicture(const Wave& wave)
{
    int height[kPictureColumns];
    for (int c = 0; c < kPictureColumns; ++c)
        height[c] = static_cast<int>(std::lround(wave[2 * c] * kRowsPerHalf / 32768.0));

    std::string line;
    for (int row = kRowsPerHalf; row >= -kRowsPerHalf; --row) {
        line.assign("     ");
        for (int c = 0; c < kPictureColumns; ++c) {
            const bool filled = row > 0 ? height[c] >= row : row < 0 ? height[c] <= row : false;
            line += filled ? '#' : row == 0 ? '-' : ' ';
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        Print("%s\n", line.c_str());
    }
}

class ShowCommand : public Command
{
public:
    explicit ShowCommand(CLI::App& app)
        : Command(
              app.add_subcommand("show", "Show the 128-sample wave read from a WAV file, or each wave of a .syx file"))
    {
    }

    void AddOptions() override
    {
        m_subcommand->add_option("FILE", m_file, "Mono 16-bit PCM WAV file, or .syx file of wave dump messages")
            ->required();
    }

    int Run() override
    {
        InputFile input(m_file);
        if (input.IsSyx())
            return ShowSyx(input);
        CEngine loaded;
        if (ReadNotes notes; !Reported(input.LoadWave(loaded, notes), notes))
            return kExitFileError;
        Print("%s: %s\n", EscapeControlCharacters(m_file).c_str(),
              loaded.m_bResampled ? "fitted to 128 samples by nearest-sample picking" : "128 samples, taken as is");
        PrintSamples(loaded.m_anWave);
        PrintPicture(loaded.m_anWave);
        return FinishStandardOutput(kExitOk);
    }

private:
    int ShowSyx(InputFile& input) const
    {
        std::vector<SysexMessage> messages;
        if (ReadNotes notes; !Reported(input.ReadSyx(messages, notes, true), notes))
            return kExitFileError;
        if (messages.empty()) {
            std::fprintf(stderr, "qwdump: %s: holds no wave dump message\n", EscapeControlCharacters(m_file).c_str());
            return kExitFileError;
        }
        for (std::size_t i = 0; i < messages.size(); ++i) {
            Wave wave;
            WaveDump::Unpack(messages[i].data(), wave);
            Print("%s%s: wave %d\n", i == 0 ? "" : "\n", EscapeControlCharacters(m_file).c_str(),
                  WaveDump::WaveNumberOf(messages[i].data()));
            PrintSamples(wave);
            PrintPicture(wave);
        }
        return FinishStandardOutput(kExitOk);
    }

    std::string m_file;
};

}  // namespace

std::unique_ptr<Command> AddShowCommand(CLI::App& app)
{
    return std::make_unique<ShowCommand>(app);
}
