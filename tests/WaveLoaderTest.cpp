// The WAV loader: what it takes as is, how it fits other lengths, and each
// refusal with its message.

#include "Engine.h"
#include "LoadMessages.h"
#include "MonoWav.h"
#include "TempDir.h"
#include "WavBytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using namespace LoadMessages;

class WaveLoaderTest : public ::testing::Test
{
protected:
    // Loads `bytes` as a file; `message` "" expects success, `fitted` whether
    // the data was fitted to 128 samples.
    void ExpectLoad(const std::string& bytes, const char* message, int fitted = 0)
    {
        const bool ok = *message == '\0';
        EXPECT_EQ(engine.LoadWaveFile(dir.Write("wave.wav", bytes).c_str()), ok);
        EXPECT_STREQ(engine.m_pszError, message);
        EXPECT_EQ(engine.m_bLoaded, ok ? 1 : 0);
        EXPECT_EQ(engine.m_bResampled, fitted);
    }
    std::vector<std::int16_t> Wave() const { return {engine.m_anWave, engine.m_anWave + 128}; }

    TempDir dir;
    CEngine engine;
};

TEST_F(WaveLoaderTest, TakesExactly256BytesAsIsAndFitsOtherLengthsToTheNearestSample)
{
    std::vector<std::int16_t> samples = Ramp(128);
    samples[0] = -32768;
    samples[1] = 32767;
    ExpectLoad(MonoWavBytes(samples.data(), 128), "");
    EXPECT_EQ(Wave(), samples);

    // Position i takes sample i * n / 128, halves rounding up; a ramp's
    // values tell which sample was picked.
    const std::pair<std::size_t, std::vector<std::pair<int, std::size_t>>> fits[] = {
        {129, {{63, 63}, {64, 65}, {127, 128}}},  // position, sample
        {150, {{2, 2}, {3, 4}, {126, 148}, {127, 149}}},
        {65535, {{1, 512}, {64, 32768}, {127, 65023}}},
    };
    for (const auto& [n, picks] : fits) {
        const std::vector<std::int16_t> ramp = Ramp(n);
        ExpectLoad(MonoWavBytes(ramp.data(), n), "", 1);
        for (const auto& [position, sample] : picks)
            EXPECT_EQ(engine.m_anWave[position], ramp[sample]) << n << " samples, position " << position;
    }
    // An odd last byte is ignored, but the wave counts as fitted; a failure
    // then leaves the samples (though no longer loaded).
    ExpectLoad(WavBytes::Mono(SampleBytes(Ramp(128)) + '\x7F').str(), "", 1);
    EXPECT_EQ(Wave(), Ramp(128));
    ExpectLoad(WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(10, 9)).str(), kTruncated);
    ExpectLoad(WavBytes::Riff().Format(1, 2).Chunk("data", std::string(256, 9)).str(), kNotMonoPcm);
    EXPECT_EQ(Wave(), Ramp(128));
}

TEST_F(WaveLoaderTest, WalksTheChunksAndTheFirstCheckToFailSpeaks)
{
    const std::string data(256, 0);
    const std::string fmt = WavBytes::FormatBody();
    const std::tuple<std::string, const char*, int> files[] = {
        // bytes, message, fitted
        {WavBytes::Mono(std::string(255, 1)).str(), kTooFew, 0},
        {WavBytes::Mono(std::string(131070, 1)).str(), "", 1},
        {WavBytes::Mono(std::string(131071, 1)).str(), kTooMany, 0},
        // Other chunks are skipped, with the pad byte of an odd one.
        {WavBytes::Riff().Chunk("LIST", "odd").Format().Chunk("LIST", "odd").Chunk("data", data).str(), "", 0},
        {WavBytes::Riff().Format().Header("LIST", 3).Raw("odd").Chunk("data", data).str(), kNoData, 0},
        // The format is read as 16 bytes whatever its declared size; only the
        // tag and channel count matter.
        {WavBytes::Riff().Chunk("fmt ", fmt + std::string(2, '\0')).Chunk("data", data).str(), "", 0},
        {WavBytes::Riff().Chunk("fmt ", fmt + "x").Chunk("data", data).str(), "", 0},
        {WavBytes::Riff().Header("fmt ", 14).Raw(fmt).Chunk("data", data).str(), "", 0},
        {WavBytes::Riff().Chunk("fmt ", std::string(fmt).replace(14, 1, "\x08")).Chunk("data", data).str(), "", 0},
        {"", kNotWav, 0},
        {WavBytes().Raw("RIFF").U32(0).Raw("AVI ").str(), kNotWav, 0},
        {WavBytes::Riff().Header("fmt ", 16).Raw("\1\0\1\0").str(), kNotWav, 0},
        {WavBytes::Riff().Header("junk", 0xFFFFFFFFu).Format().Chunk("data", data).str(), kNotWav, 0},
        {WavBytes::Riff().Chunk("data", data).Format().str(), kNoData, 0},
        {WavBytes::Riff().Format(1, 2).Chunk("data", "ab").str(), kNotMonoPcm, 0},
        {WavBytes::Riff().Format(1, 0).Chunk("data", data).str(), kNotMonoPcm, 0},
        {WavBytes::Riff().Format(3, 1).Chunk("data", data).str(), kNotMonoPcm, 0},
        // Sizes of 2 GiB and more are not negative.
        {WavBytes::Riff().Format().Header("data", 0x80000000u).Raw(data).str(), kTooMany, 0},
        {WavBytes::Riff().Format().Header("data", 256).Raw(std::string(255, 0)).str(), kShort256, 0},
        {WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(999, 0)).str(), kTruncated, 0},
        // Reading the very last byte of the file is not running off its end.
        {WavBytes::Riff().Format().Header("data", 257).Raw(std::string(257, 1)).str(), "", 1},
        {WavBytes::Riff().Format().Header("data", 256).Raw(data).str(), "", 0},
    };
    for (std::size_t k = 0; k < std::size(files); ++k) {
        SCOPED_TRACE(k);
        const auto& [bytes, message, fitted] = files[k];
        ExpectLoad(bytes, message, fitted);
    }
}

TEST_F(WaveLoaderTest, OnlyRegularFilesOpenAndFailuresLeaveNoDescriptorOpen)
{
    // A named pipe with no writer would block an ordinary open for good.
    const std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto openDescriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openDescriptors();
    for (int i = 0; i < 100; ++i) {
        for (const std::string& path : {dir.File("missing.wav"), dir.path(), fifo, std::string("/dev/zero")}) {
            ASSERT_FALSE(engine.LoadWaveFile(path.c_str())) << path;
            ASSERT_STREQ(engine.m_pszError, kOpenFailed) << path;
        }
        ASSERT_FALSE(engine.LoadWaveFile(dir.Write("bad.wav", "RIFF").c_str()));
    }
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
