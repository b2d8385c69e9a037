// How far a bank send has got, for a progress line or dialog: message
// `index` of `total` is going out, and the time the rest takes at the
// bank's pace.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

struct SendProgress
{
    std::size_t index;  // from 0
    std::size_t total;
    int waveNumber;
    std::string file;
    std::chrono::microseconds left;  // this message included

    // Of `width` steps, those done before this message.
    int StepsDone(int width) const;
};
