// Whether a file with no frame-size chunk, fitted as one cycle, is really a
// wavetable of one of the frame sizes tables are made in. Such a table, taken
// as one cycle, loses most of its frames' content above harmonic 63, and
// consecutive frames of it are alike: the file nearly repeats after one
// frame, best after just that many samples and not one more or less, and
// far less after half a frame; and each frame, one cycle, has a fundamental.
// A single cycle repeats after none of these, and a steady tone recorded
// repeats after its own period, so that a frame holds several of them.
// The guess only proposes: the file is still fitted as it was asked.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

class FrameSizeGuess
{
public:
    // The frame sizes looked for.
    static constexpr std::array<std::size_t, 5> kSizes = {256, 512, 1024, 2048, 4096};

    // For a file of `frames` samples; it looks only when one of the frame
    // sizes splits it into 2 or more frames.
    explicit FrameSizeGuess(std::int64_t frames);

    bool Looking() const { return !m_candidates.empty(); }
    // The file's samples, all of them, in order, in pieces of any size (it
    // looks at the first 69,633 only).
    void Add(const double* samples, std::size_t count);

    // How far the file is from repeating after `lag` samples (a frame size
    // that splits it, one sample more or less, or half of one): the energy
    // of the difference relative to that of both sides, 0 when it repeats
    // exactly, about 1 for unrelated samples, 2 when it is negated.
    double Difference(std::size_t lag) const;
    // The share of the file's energy in the fundamentals of its frames of
    // `size`, a frame size that splits it.
    double FundamentalShare(std::size_t size) const;

    // The frame size the file looks like a table of, given the energy its
    // one-cycle fit left above harmonic 63; 0 when none.
    std::int64_t Proposal(double aboveHarmonic63Db) const;

private:
    // Frames of one size: harmonic 1 of the frame being read so far, and
    // the energy of the fundamentals of those before.
    struct Candidate
    {
        std::size_t size;
        std::vector<double> cosines;
        std::vector<double> sines;
        double re = 0.0;
        double im = 0.0;
        double fundamentals = 0.0;
    };

    void AddToFundamentals(const double* samples, std::size_t count);
    std::int64_t FramesOf(std::size_t size) const;  // 0 when `size` doesn't split the file

    std::int64_t m_frames;
    std::int64_t m_seen = 0;
    std::vector<Candidate> m_candidates;
    std::vector<std::size_t> m_lags;  // 0 first: its sum is the energy
    std::vector<double> m_products;   // the sums of x[q] x[q - lag], lag by lag
    std::vector<double> m_first;      // the file's first samples, up to the longest lag
    std::vector<double> m_joined;     // the last samples before the next piece, then the piece
};
