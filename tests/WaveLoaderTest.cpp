#include "Engine.h"
#include "LoadMessages.h"
#include "TempDir.h"
#include "WavBytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace LoadMessages;
using Samples = std::vector<std::int16_t>;
using Indices = std::vector<std::size_t>;

// Files that open but do not load, each with its message.
const std::vector<std::pair<std::string, const char*>>& kBadFiles()
{
    const std::string data(256, 0);
    static const std::vector<std::pair<std::string, const char*>> files = {
        {"", kNotWav},
        {"RIFF", kNotWav},
        {std::string("RIFX\0\0\0\0WAVE", 12), kNotWav},
        {WavBytes().Raw("RIFF").U32(0).str(), kNotWav},  // ends before "WAVE"
        {WavBytes().Raw("RIFF").U32(0).Raw("AVI ").str(), kNotWav},
        {WavBytes::Riff().str(), kNotWav},  // no format chunk
        {WavBytes::Riff().Header("fmt ", 16).Raw("\1\0\1\0").str(), kNotWav},  // format cut short
        // A data chunk before the format chunk is skipped on the way to it.
        {WavBytes::Riff().Chunk("data", data).Format().str(), kNoData},
        {WavBytes::Riff().Format().Chunk("LIST", "abcd").str(), kNoData},
        {WavBytes::Riff().Format(1, 2).Chunk("data", data).str(), kNotMonoPcm},
        {WavBytes::Riff().Format(3, 1).Chunk("data", data).str(), kNotMonoPcm},       // float
        {WavBytes::Riff().Format(0xFFFE, 1).Chunk("data", data).str(), kNotMonoPcm},  // extensible
        {WavBytes::Riff().Format(1, 0).Chunk("data", data).str(), kNotMonoPcm},
        // The format is judged before the data: a stereo file with too little
        // data is reported as stereo.
        {WavBytes::Riff().Format(1, 2).Chunk("data", "ab").str(), kNotMonoPcm},
        // A data chunk declared at 2 GiB or more is too long, not negative.
        {WavBytes::Riff().Format().Header("data", 0x80000000u).Raw(std::string(512, 0)).str(), kTooMany},
        {WavBytes::Riff().Format().Header("data", 0xFFFFFFFFu).Raw(std::string(512, 0)).str(), kTooMany},
        // Any other chunk that large is skipped forward, past the end of the file.
        {WavBytes::Riff().Format().Header("junk", 0x80000000u).Chunk("data", data).str(), kNoData},
        {WavBytes::Riff().Header("junk", 0xFFFFFFFFu).Format().Chunk("data", data).str(), kNotWav},
        // Truncated data, reported by the path that reads it.
        {WavBytes::Riff().Format().Header("data", 256).Raw(std::string(255, 0)).str(), kShort256},
        {WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(999, 0)).str(), kTruncated},
        {WavBytes::Riff().Format().Header("data", 131070).str(), kTruncated},
    };
    return files;
}

class WaveLoaderTest : public ::testing::Test
{
protected:
    // Writes `bytes` as a file and loads it.
    bool Load(const std::string& bytes) { return engine.LoadWaveFile(dir.Write("wave.wav", bytes).c_str()); }
    Samples Wave() const { return Samples(engine.m_anWave, engine.m_anWave + 128); }

    void ExpectFailure(const std::string& bytes, const char* message)
    {
        EXPECT_FALSE(Load(bytes));
        EXPECT_STREQ(engine.m_pszError, message);
        EXPECT_EQ(engine.m_bLoaded, 0);
        EXPECT_EQ(engine.m_bResampled, 0);
    }

    // Loads Ramp(sampleCount) and returns the data-chunk indices the fitted
    // wave was picked from, read back from the ramp's distinct values.
    Indices LoadRampAndPick(std::size_t sampleCount)
    {
        const Samples ramp = Ramp(sampleCount);
        EXPECT_TRUE(Load(WavBytes::Mono(SampleBytes(ramp)).str()));
        EXPECT_EQ(engine.m_bResampled, 1);
        Indices picked;
        for (const std::int16_t v : engine.m_anWave)
            picked.push_back(std::find(ramp.begin(), ramp.end(), v) - ramp.begin());
        return picked;
    }

    TempDir dir;
    CEngine engine;
};

TEST_F(WaveLoaderTest, DataOfExactly256BytesIsTakenSampleForSample)
{
    Samples samples = Ramp(128);
    samples[0] = -32768;
    samples[1] = 32767;
    samples[2] = -1;
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(samples)).str()));
    EXPECT_EQ(engine.m_bLoaded, 1);
    EXPECT_EQ(engine.m_bResampled, 0);
    EXPECT_STREQ(engine.m_pszError, "");
    EXPECT_EQ(Wave(), samples);
}

TEST_F(WaveLoaderTest, FittingPicksTheNearestSampleRoundingHalvesUp)
{
    // 512 bytes: every second sample from the first.
    Indices expected;
    for (std::size_t i = 0; i < 128; ++i)
        expected.push_back(2 * i);
    EXPECT_EQ(LoadRampAndPick(256), expected);

    // 258 bytes: index 64 is the one left out.
    for (std::size_t i = 0; i < 128; ++i)
        expected[i] = i < 64 ? i : i + 1;
    EXPECT_EQ(LoadRampAndPick(129), expected);

    // 300 bytes: 0, 1, 2, 4, 5, 6 ... 146, 148, 149.
    const Indices picked = LoadRampAndPick(150);
    EXPECT_EQ(Indices(picked.begin(), picked.begin() + 6), (Indices{0, 1, 2, 4, 5, 6}));
    EXPECT_EQ(Indices(picked.end() - 3, picked.end()), (Indices{146, 148, 149}));

    // 131,070 bytes (the largest), 65,535 samples: step 511.9921875.
    const Indices largest = LoadRampAndPick(65535);
    EXPECT_EQ(largest[0], 0u);
    EXPECT_EQ(largest[1], 512u);
    EXPECT_EQ(largest[64], 32768u);  // 32767.5 rounds up
    EXPECT_EQ(largest[127], 65023u); // the tail after it is not represented

    // 257 bytes: the odd byte is ignored, but the wave counts as fitted.
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(Ramp(128)) + '\x7F').str()));
    EXPECT_EQ(engine.m_bResampled, 1);
    EXPECT_EQ(Wave(), Ramp(128));
}

TEST_F(WaveLoaderTest, DataLengthBoundaries)
{
    ExpectFailure(WavBytes::Mono(std::string(254, '\1')).str(), kTooFew);
    ExpectFailure(WavBytes::Mono(std::string(255, '\1')).str(), kTooFew);
    EXPECT_TRUE(Load(WavBytes::Mono(std::string(256, '\1')).str()));
    EXPECT_EQ(engine.m_bResampled, 0);
    EXPECT_TRUE(Load(WavBytes::Mono(std::string(257, '\1')).str()));
    EXPECT_EQ(engine.m_bResampled, 1);
    EXPECT_TRUE(Load(WavBytes::Mono(std::string(131070, '\1')).str()));
    ExpectFailure(WavBytes::Mono(std::string(131071, '\1')).str(), kTooMany);
    ExpectFailure(WavBytes::Mono(std::string(131072, '\1')).str(), kTooMany);
}

TEST_F(WaveLoaderTest, ChunkWalkSkipsOtherChunksWithTheirPadBytes)
{
    const std::string data = SampleBytes(Ramp(128));
    const std::string odd = "odd";  // three bytes, so a pad byte follows

    EXPECT_TRUE(Load(WavBytes::Riff().Chunk("LIST", odd).Format().Chunk("data", data).str()));
    EXPECT_TRUE(Load(WavBytes::Riff().Format().Chunk("LIST", odd).Chunk("fact", "1234").Chunk("data", data).str()));
    EXPECT_TRUE(Load(WavBytes::Riff().Chunk("LIST", odd).Format().Chunk("LIST", odd).Chunk("data", data).str()));
    EXPECT_EQ(Wave(), Ramp(128));

    // Without its pad byte the walk lands one byte off and finds no data.
    ExpectFailure(WavBytes::Riff().Format().Header("LIST", 3).Raw(odd).Chunk("data", data).str(), kNoData);
}

TEST_F(WaveLoaderTest, FormatChunkIsReadAsSixteenBytesWhateverItsSize)
{
    const std::string data = SampleBytes(Ramp(128));

    // 18 bytes (with a cbSize field): the extra bytes are skipped.
    EXPECT_TRUE(Load(WavBytes::Riff().Chunk("fmt ", FormatBody() + "\0\0").Chunk("data", data).str()));
    // 17 bytes: the extra byte and its pad are skipped.
    EXPECT_TRUE(Load(WavBytes::Riff().Chunk("fmt ", FormatBody() + "x").Chunk("data", data).str()));
    // Declared shorter than 16: still 16 bytes are read and nothing is skipped.
    EXPECT_TRUE(Load(WavBytes::Riff().Header("fmt ", 14).Raw(FormatBody()).Chunk("data", data).str()));
    EXPECT_TRUE(Load(WavBytes::Riff().Header("fmt ", 15).Raw(FormatBody()).Chunk("data", data).str()));
    // Only the tag and channel count matter: an 8-bit file's bytes are taken in pairs.
    std::string eightBit = FormatBody();
    eightBit[14] = 8;
    EXPECT_TRUE(Load(WavBytes::Riff().Chunk("fmt ", eightBit).Chunk("data", std::string(256, '\x80')).str()));
    EXPECT_EQ(engine.m_anWave[0], static_cast<std::int16_t>(0x8080));
}

TEST_F(WaveLoaderTest, EachFailureHasItsMessageAndTheFirstCheckToFailSpeaks)
{
    for (std::size_t k = 0; k < kBadFiles().size(); ++k) {
        SCOPED_TRACE(k);
        ExpectFailure(kBadFiles()[k].first, kBadFiles()[k].second);
    }
    // No pad byte, nothing after the data: reading the last byte must not
    // count as running off the end.
    EXPECT_TRUE(Load(WavBytes::Riff().Format().Header("data", 257).Raw(std::string(257, 1)).str()));
    EXPECT_TRUE(Load(WavBytes::Riff().Format().Header("data", 256).Raw(std::string(256, 1)).str()));
}

TEST_F(WaveLoaderTest, FailedLoadEmptiesTheEngineButKeepsTheEarlierSamples)
{
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(Ramp(256))).str()));
    ASSERT_EQ(engine.m_bResampled, 1);
    const Samples before = Wave();

    // Failures on the fitting path leave the samples alone.
    ExpectFailure(WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(10, 9)).str(), kTruncated);
    EXPECT_EQ(Wave(), before);
    ExpectFailure(WavBytes::Riff().Format(1, 2).Chunk("data", std::string(256, 9)).str(), kNotMonoPcm);
    EXPECT_EQ(Wave(), before);

    // A later success clears the message.
    ASSERT_TRUE(Load(WavBytes::Mono(std::string(256, 0)).str()));
    EXPECT_STREQ(engine.m_pszError, "");
    EXPECT_EQ(engine.m_bResampled, 0);
}

TEST_F(WaveLoaderTest, OnlyRegularFilesOpenAndTenThousandFailuresLeaveNoDescriptorOpen)
{
    // A named pipe with no writer would block an ordinary open for good.
    const std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> bad = {dir.File("missing.wav"), dir.path(), fifo, "/dev/zero"};
    for (const std::string& path : bad) {
        EXPECT_FALSE(engine.LoadWaveFile(path.c_str())) << path;
        EXPECT_STREQ(engine.m_pszError, kOpenFailed) << path;
    }

    for (const auto& file : kBadFiles())
        bad.push_back(dir.Write(std::to_string(bad.size()) + ".wav", file.first));
    const auto openDescriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openDescriptors();
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(engine.LoadWaveFile(bad[i % bad.size()].c_str())) << bad[i % bad.size()];
    EXPECT_EQ(openDescriptors(), before);
}

}  // namespace
