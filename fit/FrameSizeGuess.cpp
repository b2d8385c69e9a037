#include "FrameSizeGuess.h"

#include "HarmonicKernels.h"

#include <algorithm>
#include <cmath>

namespace {

// Chosen from bench/frame_size_survey's figures: tables of 2 to 64 frames of
// each size, smooth and bold morphs, frames all alike, with noise and
// without; single cycles of 1,024 to 65,536 samples, noise, and 400 steady
// tones recorded, none of which is proposed.
//
// Tables fitted as one cycle left -48.9 dB above harmonic 63 or more (-0.0 dB
// from 64 frames); fits of what lies below harmonic 64 leave the rounding,
// -80 dB and less.
constexpr double kMuchAboveHarmonic63Db = -50.0;
// Consecutive frames of the tables differed by 0.000 to 0.165; 0.355 for the
// boldest morph of 4 frames, which is missed...
constexpr double kMostFrameDifference = 0.2;
// ...and a single cycle whose fundamental is 18 dB below the rest looks like
// two frames 0.030 apart: two frames must be all but the same.
constexpr double kMostDifferenceOfTwoFrames = 0.01;
// A table's frames differed by at most 0.11 of what its half frames did;
// rich single cycles by 1 and more, noise by about 1.
constexpr double kMostDifferenceOfHalfAFrame = 0.2;
// A table repeats best within a sample of one frame, or hardly better a
// sample either side of it; a tone recorded, whose period does not divide
// the frame, better and better a sample one way. A sample less, at, and a
// sample more than a frame: a table whose pulse edge moves 1.8 samples a
// frame, 0.0152, 0.0173 and 0.0363, best 0.6 samples early; a tone of
// 168.55 Hz at 48 kHz, 0.2084, 0.1951 and 0.1822, best 33 samples late.
constexpr double kMostSlopeBesideAFrame = 0.1;
// Frames of the tables held 0.6 and more of their energy in their
// fundamentals; frames cut from a recorded tone, each several of its
// periods, 8e-6 at most.
constexpr double kLeastFundamentalShare = 0.001;

constexpr std::size_t kLongestLag = FrameSizeGuess::kSizes.back() + 1;
// The first frames tell as well as all of them: a longer file costs no more.
constexpr std::int64_t kMostLookedAt = 65536 + kLongestLag;

}  // namespace

FrameSizeGuess::FrameSizeGuess(std::int64_t frames) : m_frames(frames)
{
    // For each size that splits the file: half of it and the size with a
    // sample less and more.
    m_lags.push_back(0);
    for (const std::size_t size : kSizes) {
        if (FramesOf(size) < 2)
            continue;
        Candidate candidate{size, std::vector<double>(size), std::vector<double>(size)};
        // Turned a step at a time: a sine and cosine each would cost more
        // than the whole guess for a short file.
        const long double step = 2.0L * static_cast<long double>(M_PI) / static_cast<long double>(size);
        const long double stepRe = std::cos(step);
        const long double stepIm = std::sin(step);
        long double re = 1.0L;
        long double im = 0.0L;
        for (std::size_t j = 0; j < size; ++j) {
            candidate.cosines[j] = static_cast<double>(re);
            candidate.sines[j] = static_cast<double>(im);
            const long double next = re * stepRe - im * stepIm;
            im = re * stepIm + im * stepRe;
            re = next;
        }
        m_candidates.push_back(std::move(candidate));
        for (const std::size_t lag : {size / 2, size - 1, size, size + 1})
            if (std::find(m_lags.begin(), m_lags.end(), lag) == m_lags.end())
                m_lags.push_back(lag);
    }
    m_products.resize(m_lags.size());
}

std::int64_t FrameSizeGuess::FramesOf(std::size_t size) const
{
    const auto asSigned = static_cast<std::int64_t>(size);
    return m_frames % asSigned == 0 ? m_frames / asSigned : 0;
}

void FrameSizeGuess::Add(const double* samples, std::size_t count)
{
    if (!Looking() || m_seen >= kMostLookedAt)
        return;
    count = std::min(count, static_cast<std::size_t>(kMostLookedAt - m_seen));
    const std::size_t before = m_joined.size();
    m_joined.insert(m_joined.end(), samples, samples + count);
    if (m_first.size() < kLongestLag)
        m_first.insert(m_first.end(), samples, samples + std::min(count, kLongestLag - m_first.size()));
    const double* x = m_joined.data();
    const std::size_t end = m_joined.size();
    for (std::size_t i = 0; i < m_lags.size(); ++i) {
        const std::size_t from = std::max(before, m_lags[i]);
        if (from < end)
            m_products[i] += DotProduct(x + from, x + from - m_lags[i], end - from);
    }
    AddToFundamentals(samples, count);
    m_seen += static_cast<std::int64_t>(count);
    if (end > kLongestLag)
        m_joined.erase(m_joined.begin(), m_joined.end() - static_cast<std::ptrdiff_t>(kLongestLag));
}

void FrameSizeGuess::AddToFundamentals(const double* samples, std::size_t count)
{
    for (Candidate& frames : m_candidates) {
        std::size_t at = static_cast<std::size_t>(m_seen % static_cast<std::int64_t>(frames.size));
        for (std::size_t done = 0; done < count;) {
            const std::size_t run = std::min(count - done, frames.size - at);
            frames.re += DotProduct(samples + done, frames.cosines.data() + at, run);
            frames.im += DotProduct(samples + done, frames.sines.data() + at, run);
            done += run;
            at += run;
            if (at == frames.size) {
                // Harmonic 1 stands in two bins: its energy is 2 |X1|^2 / size.
                frames.fundamentals +=
                    2.0 * (frames.re * frames.re + frames.im * frames.im) / static_cast<double>(frames.size);
                frames.re = frames.im = 0.0;
                at = 0;
            }
        }
    }
}

double FrameSizeGuess::Difference(std::size_t lag) const
{
    // Both sides' energy: the whole file's twice, less what lies before the
    // lag on one side and in the last `lag` samples on the other.
    const auto at = std::find(m_lags.begin(), m_lags.end(), lag);
    if (at == m_lags.end() || m_seen <= static_cast<std::int64_t>(lag))
        return 1.0;
    double outside = 0.0;
    for (std::size_t q = 0; q < lag; ++q) {
        const double last = m_joined[m_joined.size() - 1 - q];
        outside += m_first[q] * m_first[q] + last * last;
    }
    const double energy = 2.0 * m_products[0] - outside;
    const double products = m_products[static_cast<std::size_t>(at - m_lags.begin())];
    return energy > 0.0 ? std::max(0.0, energy - 2.0 * products) / energy : 1.0;
}

double FrameSizeGuess::FundamentalShare(std::size_t size) const
{
    for (const Candidate& frames : m_candidates)
        if (frames.size == size && m_products[0] > 0.0)
            return frames.fundamentals / m_products[0];
    return 0.0;
}

std::int64_t FrameSizeGuess::Proposal(double aboveHarmonic63Db) const
{
    if (!(aboveHarmonic63Db >= kMuchAboveHarmonic63Db))
        return 0;
    // The smallest size that fits: a table of frames of S repeats after 2S
    // too, but a morphing one less closely, and frames all alike fail the
    // strict comparison with half of 2S.
    for (const Candidate& frames : m_candidates) {
        const std::size_t size = frames.size;
        const double frame = Difference(size);
        const bool alike = frame <= (FramesOf(size) == 2 ? kMostDifferenceOfTwoFrames : kMostFrameDifference);
        // Where a parabola through a sample less, at and more than a frame
        // turns: within a sample of it, or hardly any slope at all.
        const double before = Difference(size - 1);
        const double after = Difference(size + 1);
        const double slope = std::fabs(after - before);
        const bool bestAtAFrame =
            slope <= 2.0 * (before - 2.0 * frame + after) || slope <= kMostSlopeBesideAFrame * frame;
        if (alike && frame < kMostDifferenceOfHalfAFrame * Difference(size / 2) && bestAtAFrame &&
            FundamentalShare(size) >= kLeastFundamentalShare)
            return static_cast<std::int64_t>(size);
    }
    return 0;
}
