// The audio fit module on inputs written with libsndfile in the formats users
// bring, and the files it refuses.

#include "WaveFit.h"
#include "CycleFit.h"
#include "TempDir.h"
#include "WavBytes.h"
#include "Wavetables.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

namespace {

// A band-limited saw, harmonics 1 to 40, sampled `n` times over one cycle
// in 16-bit units; it peaks near 15,000.
std::vector<double> Saw(int n)
{
    std::vector<double> cycle(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        for (int k = 1; k <= 40; ++k)
            cycle[static_cast<std::size_t>(i)] += 8000.0 * std::sin(2.0 * M_PI * k * i / n) / k;
    return cycle;
}

// Writes `cycle` with libsndfile, unnormalised: each value times `scale`
// (into the format's own units), on every channel.
std::string WriteCycle(const TempDir& dir, const std::string& name, int format, int channels,
                       const std::vector<double>& cycle, double scale = 1.0)
{
    SF_INFO info{0, 44100, channels, format, 0, 0};
    SNDFILE* file = sf_open(dir.File(name).c_str(), SFM_WRITE, &info);
    if (file == nullptr)
        throw std::runtime_error(name + ": " + sf_strerror(nullptr));
    sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
    std::vector<double> frames;
    for (const double v : cycle)
        frames.insert(frames.end(), static_cast<std::size_t>(channels), v * scale);
    sf_writef_double(file, frames.data(), static_cast<sf_count_t>(cycle.size()));
    sf_close(file);
    return dir.File(name);
}

// Fits the one cycle of `path`.
bool Fit(const std::string& path, FitMethod method, FittedFrame& frame, std::string& error,
         FittedTable* table = nullptr)
{
    FitRequest request;
    request.method = method;
    FittedTable fitted;
    if (!FitThroughModule(QwdFitTableFile, QwdFreeFitResult, path.c_str(), -1, request, fitted, error))
        return false;
    frame = fitted.frames.at(0);
    if (table != nullptr)
        *table = fitted;
    return true;
}

// How far `wave` is from the exact 128-point sampling of the saw, at most.
int DistanceFromSaw(const FittedFrame& wave)
{
    const std::vector<double> exact = Saw(128);
    int distance = 0;
    for (std::size_t i = 0; i < 128; ++i)
        distance = std::max(distance, std::abs(wave.samples[i] - static_cast<int>(std::lround(exact[i]))));
    return distance;
}

TEST(WaveFitTest, A600SampleSawInEveryFormatFitsItsExact128PointSampling)
{
    TempDir dir;
    const std::tuple<std::string, int, int, double, const char*> inputs[] = {
        {"16-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 1.0, "PCM_16"},
        {"24-bit.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 1, 256.0, "PCM_24"},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 1.0 / 32768, "FLOAT"},
        {"extensible.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_32, 1, 65536.0, "PCM_32"},
        {"24-bit.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1, 256.0, "PCM_24"},
        {"stereo.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 1.0, "PCM_16"},
    };
    for (const auto& [name, format, channels, scale, formatName] : inputs) {
        SCOPED_TRACE(name);
        const std::string path = WriteCycle(dir, name, format, channels, Saw(600), scale);
        FittedFrame harmonic;
        FittedFrame nearest;
        FittedTable table;
        std::string error;
        ASSERT_TRUE(Fit(path, FitMethod::kHarmonic, harmonic, error, &table)) << error;
        ASSERT_TRUE(Fit(path, FitMethod::kNearest, nearest, error)) << error;
        EXPECT_LE(DistanceFromSaw(harmonic), 1);
        EXPECT_GT(DistanceFromSaw(nearest), 100);
        EXPECT_EQ(table.sourceFrames, 600);
        EXPECT_EQ(table.sourceChannels, channels);
        EXPECT_EQ(table.sourceFormat, formatName);
        EXPECT_LT(harmonic.aboveHarmonic63Db, -80.0) << "only the source's rounding lies above harmonic 63";
    }
}

TEST(WaveFitTest, BothTransformsKeepHarmonic63AndDropTheNyquistHarmonic64CountingItAsAbove)
{
    std::vector<double> cycle;
    for (int k = 0; k < 128; ++k)
        cycle.push_back(1000.0 + (k % 2 ? -1000.0 : 1000.0) + 500.0 * std::cos(2 * M_PI * 63 * k / 128));
    for (const auto transform : {HarmonicFitter::Transform::kDirect, HarmonicFitter::Transform::kFft}) {
        HarmonicFitter fitter(128, 1, transform);
        EXPECT_EQ(fitter.UsesFft(), transform == HarmonicFitter::Transform::kFft);
        const HarmonicFit fit = fitter.Fit(cycle.data());
        for (std::size_t k = 0; k < 128; ++k)
            ASSERT_NEAR(fit.wave[k], cycle[k] - (k % 2 ? -1000 : 1000), 1e-9) << k;
        EXPECT_NEAR(fit.aboveHarmonic63Db, 10.0 * std::log10(1e6 / (1e6 + 1e6 + 500.0 * 500.0 / 2)), 1e-9);
    }
}

TEST(WaveFitTest, BothDirectKernelsGiveTheDiscreteFourierTransformAtAnyLength)
{
    // One partial block with its own Nyquist bin, many blocks, a prime length.
    for (const std::size_t n : {50, 1000, 4099}) {
        std::vector<double> cycle(n);
        for (std::size_t j = 0; j < n; ++j)
            cycle[j] = 20000.0 * std::sin(j * j * 0.7);
        for (const bool fourLanes : {false, true}) {
            double re[64];
            double im[64];
            // In two pieces when long enough: the first a whole number of blocks.
            DirectHarmonics direct(n, fourLanes);
            const std::size_t first = n > 64 ? 64 : n;
            direct.Begin();
            direct.Add(cycle.data(), first);
            direct.Add(cycle.data() + first, n - first);
            direct.Finish(re, im);
            for (std::size_t k = 0; k < 64; ++k) {
                long double exactRe = 0;
                long double exactIm = 0;
                for (std::size_t j = 0; 2 * k <= n && j < n; ++j) {
                    exactRe += cycle[j] * std::cos(2 * M_PIl * ((j * k) % n) / n);
                    exactIm -= 2 * k == n ? 0 : cycle[j] * std::sin(2 * M_PIl * ((j * k) % n) / n);
                }
                ASSERT_NEAR(re[k], exactRe, n * 1e-5) << n << " " << fourLanes << " " << k;
                ASSERT_NEAR(im[k], exactIm, n * 1e-5) << n << " " << fourLanes << " " << k;
            }
        }
    }
}

// An untagged file fitted as one cycle gets a frame size proposed only when
// it is a table of one; it is fitted as one cycle all the same.
TEST(WaveFitTest, ProposesTheFrameSizeOfAnUntaggedTableAndNoneForWhatIsNoTable)
{
    TempDir dir;
    std::vector<std::int16_t> naiveSaw(4096), square(2048), noise(16384), tones[2];
    std::mt19937 random(1);
    for (std::size_t j = 0; j < noise.size(); ++j) {
        naiveSaw[j % 4096] = static_cast<std::int16_t>(j % 4096 * 8 - 16384);
        square[j % 2048] = j % 2048 < 1024 ? 15000 : -15000;
        noise[j] = static_cast<std::int16_t>(std::uniform_int_distribution<int>(-20000, 20000)(random));
    }
    // 937.66 Hz at 48 kHz: 5 periods to 256 samples, repeating after each
    // 256 but with no fundamental there; 168.55 Hz repeats best past 256.
    for (std::size_t j = 0; j < 65536; ++j)
        for (int t = 0; t < 2; ++t)
            tones[t].push_back(static_cast<std::int16_t>(
                std::lround(15000 * std::sin(2 * M_PI * (t == 0 ? 937.66 : 168.55) * static_cast<double>(j) / 48000))));
    const std::pair<std::vector<std::int16_t>, std::int64_t> files[] = {
        {MorphingTable(8, 2048), 2048},
        {MorphingTable(32, 1024, 1.0, 300.0), 1024},
        {MorphingTable(64, 256, 0.0), 256},
        {MorphingTable(2, 4096, 0.0, 300.0), 4096},
        {MorphingTable(4, 512, 0.3), 512},
        {MorphingTable(2, 512, 0.5), 0},  // two frames must be all but alike
        {naiveSaw, 0},
        {square, 0},
        {noise, 0},
        {tones[0], 0},
        {tones[1], 0},
    };
    for (const auto& [samples, proposed] : files) {
        SCOPED_TRACE(::testing::Message() << samples.size() << " samples, " << proposed);
        const std::string path = dir.Write("untagged.wav", WavBytes::Mono(SampleBytes(samples)).str());
        FittedFrame frame;
        FittedTable table;
        std::string error;
        ASSERT_TRUE(Fit(path, FitMethod::kHarmonic, frame, error, &table)) << error;
        EXPECT_EQ(table.frameCount, 1);
        EXPECT_EQ(table.proposedFrameSize, proposed);
    }
    // Split as asked, or as its chunk says, a table needs no proposal.
    FitRequest split;
    split.frameSize = 2048;
    FittedTable table;
    std::string error;
    for (const auto& [bytes, request] : {std::pair{WavBytes::Mono(SampleBytes(MorphingTable(8, 2048))).str(), split},
                                         {WavetableBytes(8, 2048, "clm "), FitRequest()}}) {
        const std::string path = dir.Write("table.wav", bytes);
        ASSERT_TRUE(FitThroughModule(QwdFitTableFile, QwdFreeFitResult, path.c_str(), -1, request, table, error));
        EXPECT_EQ(table.frameCount, 8);
        EXPECT_EQ(table.proposedFrameSize, 0);
    }
}

TEST(WaveFitTest, RefusesWhatIsNotOneCycleOfAudio)
{
    TempDir dir;
    const std::string text = dir.Write("notes.txt", "not audio at all\n");
    SF_INFO info{};
    ASSERT_EQ(sf_open(text.c_str(), SFM_READ, &info), nullptr);
    const std::string unknownFormat = sf_strerror(nullptr);
    // 2^24 + 1 frames declared and present, as a sparse file.
    const std::uint32_t longBytes = 2 * ((1u << 24) + 1);
    const std::string tooLong = dir.Write("long.wav", WavBytes::Riff().Format().Header("data", longBytes).str());
    std::filesystem::resize_file(tooLong, 44 + longBytes);
    ASSERT_EQ(::mkfifo(dir.File("fifo.wav").c_str(), 0600), 0);

    const std::pair<std::string, std::string> bad[] = {
        {WriteCycle(dir, "one.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, {1000.0}),
         "too short to be one cycle: 1 frame, at least 2 needed"},
        {tooLong, "too long to be one cycle: 16777217 frames, at most 16777216"},
        {text, unknownFormat},
        {dir.File("fifo.wav"), "not a regular file"},
        {dir.File("missing.wav"), "can't open it: No such file or directory"},
    };
    for (const auto& [path, reason] : bad) {
        FittedFrame wave;
        std::string error;
        EXPECT_FALSE(Fit(path, FitMethod::kHarmonic, wave, error)) << path;
        EXPECT_EQ(error, reason);
    }
}

}  // namespace
