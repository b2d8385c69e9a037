// A RIFF WAVE file as the module reads it itself: the chunks in which
// wavetable writers give the frame size, and the plain sample formats (PCM
// of 8 to 32 bits, 32- and 64-bit float, and WAVE_FORMAT_EXTENSIBLE of
// those), decoded as libsndfile decodes them. Loading libsndfile with its
// codec libraries costs more than a whole fit; it is left to other files.
#pragma once

#include "AudioSource.h"
#include "WaveFit.h"

#include <cstdio>
#include <memory>

struct TableChunk
{
    FrameSizeFrom from = FrameSizeFrom::kWholeFile;  // kWholeFile: the file has none
    std::int64_t frameSize = 0;                      // 0 for a one-shot (srgo)
    std::string unreadable;                          // "" or why the chunk gives no frame size
};

// Walks the chunks of `file`, an open regular file, from its start; the
// first of the chunks "clm ", "srge", "srgo" and "uhWT" sets `table`. Returns
// a source of the file's samples when it is a plain WAV file; null for any
// other file, which libsndfile must read.
std::unique_ptr<AudioSource> ReadWavFile(std::FILE* file, TableChunk& table);
