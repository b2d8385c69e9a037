// An audio file opened for reading, frame after frame, its channels averaged
// to one. Read by the module itself (plain WAV files) or through libsndfile
// (everything else), behind this one interface. libsndfile's module carries
// its own C++ runtime: what it allocates, a source's strings among them, it
// frees itself, through the virtual destructor; readers copy them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class AudioSource
{
public:
    virtual ~AudioSource() = default;

    // Reads the next `count` frames into `samples`, in 16-bit units (full
    // scale is +-32768). On failure returns false with `failure` set.
    virtual bool Read(double* samples, std::size_t count) = 0;

    std::int64_t frames = 0;  // in the whole file
    int channels = 0;
    std::string format;   // libsndfile's name of the sample format, e.g. "PCM_16"
    std::string failure;  // why the last Read failed
};
