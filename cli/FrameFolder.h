// qwdump fit -o DIR/: each taken frame of a table as DIR/frame-NNN.wav, a
// 128-sample WAV file the loader takes as is, NNN being its frame number.
#pragma once

#include "WaveFit.h"

#include <string>

// Writes the frames of `table` into `folder`, creating it when missing.
// Nothing is replaced: when a frame file exists already, nothing is written.
// Nor is anything left half done: when one file can't be written, those
// written before it are removed again (and the folder, when it was created).
// On failure returns false with `error` set to the reason.
bool WriteFrameFolder(const std::string& folder, const FittedTable& table, std::string& error);

// The file name of frame `number`: frame-001.wav.
std::string FrameFileName(std::int64_t number);
