// The frames of a table to take, as qwdump fit's --frames and the window's
// Import Wavetable dialog are given them: "1,5,9-12".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads "1,5,9-12" into frame numbers, in order. Returns "" or why it is
// refused: not numbers from 1 to kMaxTableFrames, a range that runs backward,
// more than a bank of 32 frames.
std::string ParseFrameList(const std::string& text, std::vector<std::int64_t>& frames);
