// qwdump show FILE: how the wave was read, its 128 samples, and a small
// picture of it drawn like the window's view (bars from the zero line).

#include "Command.h"
#include "Engine.h"
#include "ExitStatus.h"
#include "LoadWave.h"
#include "StandardOutput.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kRowsPerHalf = 8;     // picture rows above (and below) the zero line
constexpr int kPictureColumns = 64; // one column per two samples

class ShowCommand : public Command
{
public:
    explicit ShowCommand(CLI::App& app)
        : Command(app.add_subcommand("show", "Show the 128-sample wave read from a WAV file"))
    {
    }

    void AddOptions() override
    {
        AddWavFileArgument(m_file);
    }

    int Run() override
    {
        if (!LoadWaveOrReport(m_file))
            return kExitFileError;
        Print("%s: %s\n", m_file.c_str(),
              s_Engine.m_bResampled ? "fitted to 128 samples by nearest-sample picking" : "128 samples, taken as is");
        PrintSamples();
        PrintPicture();
        return FinishStandardOutput(kExitOk);
    }

private:
    static void PrintSamples()
    {
        for (int i = 0; i < 128; i += 8) {
            Print("%3d:", i);
            for (int k = i; k < i + 8; ++k)
                Print(" %6d", s_Engine.m_anWave[k]);
            Print("\n");
        }
    }

    // Each column shows the first of its two samples as a bar of '#' rising
    // above or hanging below the zero line, in steps of 1/8 of full scale.
    static void PrintPicture()
    {
        int height[kPictureColumns];
        for (int c = 0; c < kPictureColumns; ++c)
            height[c] = static_cast<int>(std::lround(s_Engine.m_anWave[2 * c] * kRowsPerHalf / 32768.0));

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

    std::string m_file;
};

}  // namespace

std::unique_ptr<Command> AddShowCommand(CLI::App& app)
{
    return std::make_unique<ShowCommand>(app);
}
