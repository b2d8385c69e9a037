// Drives the built qwdump: exit statuses, what goes to stdout and stderr,
// and the bytes of the .syx file.

#include "Engine.h"
#include "JackRig.h"
#include "LoadMessages.h"
#include "Process.h"
#include "TempDir.h"
#include "WavBytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

ProcessResult Qwdump(std::vector<std::string> args)
{
    args.insert(args.begin(), QWDUMP_PATH);
    return RunProcess(args);
}

std::string ExpectedMessage(const std::string& wavPath, int waveNumber)
{
    CEngine engine;
    EXPECT_TRUE(engine.LoadWaveFile(wavPath.c_str()));
    std::uint32_t length = 0;
    const std::uint8_t* msg = engine.PackWavToSysex(waveNumber - 1, length);
    return std::string(reinterpret_cast<const char*>(msg), length);
}

std::string Hex(const std::string& bytes)
{
    std::string text;
    char pair[4];
    for (const char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02X ", static_cast<unsigned char>(c));
        text += pair;
    }
    text.back() = '\n';
    return text;
}

class QwdumpTest : public ::testing::Test
{
protected:
    // No MIDI destinations: no sound card here, and a JACK server name that
    // nothing answers to.
    void SetUp() override { UseJackServer(UniqueJackServerName()); }

    TempDir dir;
    const std::string square = std::string(EXAMPLES_DIR) + "/square.wav";
    const std::string saw = std::string(EXAMPLES_DIR) + "/saw-1000.wav";
};

TEST_F(QwdumpTest, PackWritesExactlyTheMessageToTheSyxFile)
{
    const std::string out = dir.File("wave.syx");
    const ProcessResult r = Qwdump({"pack", saw, "--wave", "128", "-o", out});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::string syx = ReadWholeFile(out);
    ASSERT_EQ(syx.size(), 300u);
    EXPECT_EQ(syx, ExpectedMessage(saw, 128));
    EXPECT_EQ(static_cast<unsigned char>(syx[5]), 0x7F);
}

TEST_F(QwdumpTest, PackPrintsOneLineOfUpperCaseHexPairs)
{
    const ProcessResult r = Qwdump({"pack", square, "--wave", "97"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out, Hex(ExpectedMessage(square, 97)));
    EXPECT_EQ(r.out.substr(0, 18), "F0 01 20 01 0A 60 ");
    EXPECT_EQ(r.err, "");
}

TEST_F(QwdumpTest, LoadFailuresExitOneWithTheLoadersMessageAlone)
{
    const std::string stereo = dir.Write("stereo.wav", WavBytes::Riff().Format(1, 2).Chunk("data", std::string(256, 0)).str());
    const std::string out = dir.File("never.syx");
    ProcessResult r = Qwdump({"pack", stereo, "--wave", "100", "-o", out});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, std::string(LoadMessages::kNotMonoPcm) + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadWholeFile(out), "") << "no .syx file is written for a file that did not load";

    r = Qwdump({"show", dir.File("missing.wav")});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, std::string(LoadMessages::kOpenFailed) + "\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(QwdumpTest, UsageErrorsExitTwoWithOneLine)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"pack", square, "--wave", "96"},
        {"pack", square, "--wave", "129"},
        {"pack", square, "--wave", "ninety"},
        {"pack", square},
        {"pack", "--wave", "100"},
        {"pack", square, "--wave", "100", "--bogus"},
        {"show"},
        {"dance", square},
        {"send", square, "--port", "input (midi-monitor)", "--wave", "96"},
        {"send", square, "--port", "input (midi-monitor)", "--wave", "129"},
        {"send", square, "--wave", "100"},
        {"send", square, "--port", "input (midi-monitor)"},
        {"ports", "extra"},
    };
    for (const auto& args : bad) {
        const ProcessResult r = Qwdump(args);
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_EQ(r.exitStatus, 2) << joined;
        EXPECT_FALSE(r.err.empty()) << joined;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << joined << ": " << r.err;
    }
}

TEST_F(QwdumpTest, HelpOnEveryCommand)
{
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                                 std::vector<std::string>{"pack", "--help"},
                                                 std::vector<std::string>{"show", "--help"},
                                                 std::vector<std::string>{"ports", "--help"},
                                                 std::vector<std::string>{"send", "--help"}}) {
        const ProcessResult r = Qwdump(args);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_NE(r.out.find("Usage"), std::string::npos) << r.out;
    }
}

TEST_F(QwdumpTest, ShowTellsHowTheWaveWasReadAndListsItsSamples)
{
    ProcessResult r = Qwdump({"show", square});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("taken as is"), std::string::npos);
    EXPECT_NE(r.out.find("\n120:"), std::string::npos) << "the last row of samples";
    EXPECT_NE(r.out.find('#'), std::string::npos) << "the picture";

    const std::string ramp = dir.Write("ramp.wav", WavBytes::Mono(SampleBytes({-32768, 32767}) + std::string(252, 0)).str());
    r = Qwdump({"show", ramp});
    EXPECT_NE(r.out.find("  0: -32768  32767      0"), std::string::npos) << r.out;

    r = Qwdump({"show", saw});
    EXPECT_NE(r.out.find("fitted"), std::string::npos);
}

TEST_F(QwdumpTest, WithoutDestinationsPortsPrintsNothingAndSendFindsNoPort)
{
    ProcessResult r = Qwdump({"ports"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "") << "a missing sound card or JACK server is not an error";

    r = Qwdump({"send", square, "--port", "input (midi-monitor)", "--wave", "100"});
    EXPECT_EQ(r.exitStatus, 3);
    EXPECT_EQ(r.err, "The MIDI port you've selected is no longer available.Please select another.\n");
    EXPECT_EQ(r.out, "");

    // The file is loaded first: its failure is reported alone.
    r = Qwdump({"send", dir.File("missing.wav"), "--port", "input (midi-monitor)", "--wave", "100"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, std::string(LoadMessages::kOpenFailed) + "\n");
}

}  // namespace
