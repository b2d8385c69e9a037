#include "Engine.h"
#include "LoadMessages.h"
#include "TempDir.h"
#include "WavBytes.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <iterator>

#include <string>
#include <vector>

namespace {

using namespace LoadMessages;

class WaveLoaderTest : public ::testing::Test
{
protected:
    // Writes `bytes` as a file and loads it into a fresh engine.
    bool Load(const std::string& bytes)
    {
        return engine.LoadWaveFile(dir.Write("wave.wav", bytes).c_str());
    }

    void ExpectFailure(const std::string& bytes, const char* message)
    {
        EXPECT_FALSE(Load(bytes));
        EXPECT_STREQ(engine.m_pszError, message);
        EXPECT_EQ(engine.m_bLoaded, 0);
        EXPECT_EQ(engine.m_bResampled, 0);
    }

    // The data-chunk indices the fitted wave was picked from, read back from
    // Ramp()'s distinct values.
    std::vector<std::size_t> PickedIndices(std::size_t sampleCount)
    {
        const std::vector<std::int16_t> ramp = Ramp(sampleCount);
        std::vector<std::size_t> picked;
        for (const std::int16_t v : engine.m_anWave) {
            std::size_t k = 0;
            while (k < ramp.size() && ramp[k] != v)
                ++k;
            picked.push_back(k);
        }
        return picked;
    }

    TempDir dir;
    CEngine engine;
};

TEST_F(WaveLoaderTest, ConstructedEngineIsEmpty)
{
    EXPECT_EQ(engine.m_bLoaded, 0);
    EXPECT_EQ(engine.m_bResampled, 0);
    EXPECT_STREQ(engine.m_pszError, "");
    for (const std::int16_t v : engine.m_anWave)
        EXPECT_EQ(v, 0);
}

TEST_F(WaveLoaderTest, DataOfExactly256BytesIsTakenSampleForSample)
{
    const std::vector<std::int16_t> samples = Ramp(128);
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(samples)).str()));
    EXPECT_EQ(engine.m_bLoaded, 1);
    EXPECT_EQ(engine.m_bResampled, 0);
    EXPECT_STREQ(engine.m_pszError, "");
    EXPECT_EQ(std::vector<std::int16_t>(engine.m_anWave, engine.m_anWave + 128), samples);
}

TEST_F(WaveLoaderTest, ExtremeSampleValuesSurvive)
{
    std::vector<std::int16_t> samples(128, 0);
    samples[0] = -32768;
    samples[1] = 32767;
    samples[2] = -1;
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(samples)).str()));
    EXPECT_EQ(engine.m_anWave[0], -32768);
    EXPECT_EQ(engine.m_anWave[1], 32767);
    EXPECT_EQ(engine.m_anWave[2], -1);
}

TEST_F(WaveLoaderTest, FittingPicksTheNearestSampleRoundingHalvesUp)
{
    // 512 bytes: every second sample from the first.
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(Ramp(256))).str()));
    EXPECT_EQ(engine.m_bResampled, 1);
    std::vector<std::size_t> picked = PickedIndices(256);
    for (std::size_t i = 0; i < 128; ++i)
        EXPECT_EQ(picked[i], 2 * i) << "position " << i;

    // 258 bytes: index 64 is the one left out.
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(Ramp(129))).str()));
    picked = PickedIndices(129);
    for (std::size_t i = 0; i < 128; ++i)
        EXPECT_EQ(picked[i], i < 64 ? i : i + 1) << "position " << i;

    // 300 bytes: 0, 1, 2, 4, 5, 6 ... 146, 148, 149.
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(Ramp(150))).str()));
    picked = PickedIndices(150);
    EXPECT_EQ(std::vector<std::size_t>(picked.begin(), picked.begin() + 6),
              (std::vector<std::size_t>{0, 1, 2, 4, 5, 6}));
    EXPECT_EQ(std::vector<std::size_t>(picked.end() - 3, picked.end()),
              (std::vector<std::size_t>{146, 148, 149}));
}

TEST_F(WaveLoaderTest, OddByteOf257IsIgnoredButTheWaveCountsAsFitted)
{
    const std::vector<std::int16_t> samples = Ramp(128);
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(samples) + '\x7F').str()));
    EXPECT_EQ(engine.m_bResampled, 1);
    EXPECT_EQ(std::vector<std::int16_t>(engine.m_anWave, engine.m_anWave + 128), samples);
}

TEST_F(WaveLoaderTest, LargestDataChunkIsFittedAcrossItsWholeLength)
{
    // 131,070 bytes, 65,535 samples: step 511.9921875.
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(Ramp(65535))).str()));
    EXPECT_EQ(engine.m_bResampled, 1);
    const std::vector<std::size_t> picked = PickedIndices(65535);
    EXPECT_EQ(picked[0], 0u);
    EXPECT_EQ(picked[1], 512u);
    EXPECT_EQ(picked[64], 32768u);  // 32767.5 rounds up
    EXPECT_EQ(picked[127], 65023u); // the tail after it is not represented
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

TEST_F(WaveLoaderTest, DeclaredSizesAreUnsigned)
{
    // A data chunk declared at 2 GiB or more is too long, not negative.
    ExpectFailure(WavBytes::Riff().Format().Header("data", 0x80000000u).Raw(std::string(512, 0)).str(), kTooMany);
    ExpectFailure(WavBytes::Riff().Format().Header("data", 0xFFFFFFFFu).Raw(std::string(512, 0)).str(), kTooMany);
    // Any other chunk that large is skipped forward, past the end of the file.
    ExpectFailure(WavBytes::Riff().Format().Header("junk", 0x80000000u).Chunk("data", std::string(256, 0)).str(),
                  kNoData);
    ExpectFailure(WavBytes::Riff().Header("junk", 0xFFFFFFFFu).Format().Chunk("data", std::string(256, 0)).str(),
                  kNotWav);
}

TEST_F(WaveLoaderTest, ChunkWalkSkipsOtherChunksWithTheirPadBytes)
{
    const std::vector<std::int16_t> samples = Ramp(128);
    const std::string data = SampleBytes(samples);
    const std::string odd = "odd";  // three bytes, so a pad byte follows

    EXPECT_TRUE(Load(WavBytes::Riff().Chunk("LIST", odd).Format().Chunk("data", data).str()));
    EXPECT_TRUE(Load(WavBytes::Riff().Format().Chunk("LIST", odd).Chunk("fact", "1234").Chunk("data", data).str()));
    EXPECT_TRUE(Load(WavBytes::Riff().Chunk("LIST", odd).Format().Chunk("LIST", odd).Chunk("data", data).str()));
    EXPECT_EQ(engine.m_anWave[127], samples[127]);

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

TEST_F(WaveLoaderTest, FormatMustBeMonoPcm)
{
    const std::string data = std::string(256, 0);
    ExpectFailure(WavBytes::Riff().Format(1, 2).Chunk("data", data).str(), kNotMonoPcm);
    ExpectFailure(WavBytes::Riff().Format(3, 1).Chunk("data", data).str(), kNotMonoPcm);       // float
    ExpectFailure(WavBytes::Riff().Format(0xFFFE, 1).Chunk("data", data).str(), kNotMonoPcm);  // extensible
    ExpectFailure(WavBytes::Riff().Format(1, 0).Chunk("data", data).str(), kNotMonoPcm);
    // The format is judged before the data: a stereo file with too little data
    // is reported as stereo.
    ExpectFailure(WavBytes::Riff().Format(1, 2).Chunk("data", "ab").str(), kNotMonoPcm);
}

TEST_F(WaveLoaderTest, HeaderFailuresAreReportedAsNotAWavFile)
{
    ExpectFailure("", kNotWav);
    ExpectFailure("RIFF", kNotWav);
    ExpectFailure(std::string("RIFX\0\0\0\0WAVE", 12), kNotWav);
    ExpectFailure(WavBytes().Raw("RIFF").U32(0).str(), kNotWav);              // ends before "WAVE"
    ExpectFailure(WavBytes().Raw("RIFF").U32(0).Raw("AVI ").str(), kNotWav);
    ExpectFailure(WavBytes::Riff().str(), kNotWav);                           // no format chunk
    ExpectFailure(WavBytes::Riff().Header("fmt ", 16).Raw("\1\0\1\0").str(), kNotWav);  // format cut short
    // A data chunk before the format chunk is skipped on the way to it.
    ExpectFailure(WavBytes::Riff().Chunk("data", std::string(256, 0)).Format().str(), kNoData);
    ExpectFailure(WavBytes::Riff().Format().Chunk("LIST", "abcd").str(), kNoData);
}

TEST_F(WaveLoaderTest, TruncatedDataIsReportedByItsPath)
{
    ExpectFailure(WavBytes::Riff().Format().Header("data", 256).Raw(std::string(255, 0)).str(), kShort256);
    ExpectFailure(WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(999, 0)).str(), kTruncated);
    ExpectFailure(WavBytes::Riff().Format().Header("data", 131070).str(), kTruncated);
}

TEST_F(WaveLoaderTest, FileEndingExactlyAtItsDataLoads)
{
    // No pad byte, nothing after the data: reading the last byte must not
    // count as running off the end.
    EXPECT_TRUE(Load(WavBytes::Riff().Format().Header("data", 257).Raw(std::string(257, 1)).str()));
    EXPECT_TRUE(Load(WavBytes::Riff().Format().Header("data", 256).Raw(std::string(256, 1)).str()));
}

TEST_F(WaveLoaderTest, FilesThatCannotBeOpenedAsRegularFiles)
{
    EXPECT_FALSE(engine.LoadWaveFile(dir.File("missing.wav").c_str()));
    EXPECT_STREQ(engine.m_pszError, kOpenFailed);
    EXPECT_FALSE(engine.LoadWaveFile(dir.path().c_str()));
    EXPECT_STREQ(engine.m_pszError, kOpenFailed);
    // A named pipe with no writer would block an ordinary open for good.
    const std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(engine.LoadWaveFile(fifo.c_str()));
    EXPECT_STREQ(engine.m_pszError, kOpenFailed);
    EXPECT_FALSE(engine.LoadWaveFile("/dev/zero"));
    EXPECT_STREQ(engine.m_pszError, kOpenFailed);
}

TEST_F(WaveLoaderTest, TenThousandFailedLoadsLeaveNoDescriptorOpen)
{
    const std::string fifo = dir.File("pipe.wav");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::string> bad = {
        dir.File("missing.wav"),
        fifo,
        dir.path(),
        dir.Write("empty.wav", ""),
        dir.Write("text.wav", "hello, world"),
        dir.Write("stereo.wav", WavBytes::Riff().Format(1, 2).Chunk("data", std::string(256, 0)).str()),
        dir.Write("nodata.wav", WavBytes::Riff().Format().str()),
        dir.Write("short.wav", WavBytes::Riff().Format().Header("data", 256).Raw("ab").str()),
        dir.Write("truncated.wav", WavBytes::Riff().Format().Header("data", 600).Raw("ab").str()),
        dir.Write("toomany.wav", WavBytes::Riff().Format().Header("data", 0xFFFFFFFFu).str()),
        dir.Write("toofew.wav", WavBytes::Mono("abcd").str()),
    };
    const auto openDescriptors = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openDescriptors();
    for (int i = 0; i < 10000; ++i)
        ASSERT_FALSE(engine.LoadWaveFile(bad[i % bad.size()].c_str())) << bad[i % bad.size()];
    EXPECT_EQ(openDescriptors(), before);
}

TEST_F(WaveLoaderTest, FailedLoadEmptiesTheEngineButKeepsTheEarlierSamples)
{
    const std::vector<std::int16_t> first = Ramp(256);
    ASSERT_TRUE(Load(WavBytes::Mono(SampleBytes(first)).str()));
    ASSERT_EQ(engine.m_bResampled, 1);
    std::vector<std::int16_t> before(engine.m_anWave, engine.m_anWave + 128);

    // Failures on the fitting path leave the samples alone.
    ExpectFailure(WavBytes::Riff().Format().Header("data", 1000).Raw(std::string(10, 9)).str(), kTruncated);
    EXPECT_EQ(std::vector<std::int16_t>(engine.m_anWave, engine.m_anWave + 128), before);
    ExpectFailure(WavBytes::Riff().Format(1, 2).Chunk("data", std::string(256, 9)).str(), kNotMonoPcm);
    EXPECT_EQ(std::vector<std::int16_t>(engine.m_anWave, engine.m_anWave + 128), before);

    // A later success clears the message.
    ASSERT_TRUE(Load(WavBytes::Mono(std::string(256, 0)).str()));
    EXPECT_STREQ(engine.m_pszError, "");
    EXPECT_EQ(engine.m_bResampled, 0);
}

}  // namespace
