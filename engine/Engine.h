// The wave engine: the one 128-sample wave the application works on, loaded
// from a mono 16-bit PCM WAV file and packed into the wave dump message.
#pragma once

#include <cstdint>

class CEngine
{
public:
    // Constant-initialised, so s_Engine is ready before any other static
    // object or main() can touch it.
    constexpr CEngine() : m_bLoaded(0), m_bResampled(0), m_anWave{}, m_pszError("") {}

    // Loads the wave from a WAV file. Returns m_bLoaded; on failure
    // m_pszError names the reason and the engine is empty.
    bool LoadWaveFile(const char* path);

    // Builds the 300-byte wave dump message for wave index `index` (only its
    // low eight bits are used) in a static buffer and returns it; `length` is
    // set to 300. The bytes are overwritten by the next call: copy them at once.
    const std::uint8_t* PackWavToSysex(std::int32_t index, std::uint32_t& length);

    std::int32_t m_bLoaded;      // 1 while m_anWave holds a loaded wave
    std::int32_t m_bResampled;   // 1 when the last load fitted the data to 128 samples
    std::int16_t m_anWave[128];  // the wave, in host byte order once loaded
    const char* m_pszError;      // "" or the fixed message of the last failed load
};

// The application's one engine, alive for the whole process.
extern CEngine s_Engine;

// What a load saw beyond its verdict, for a caller that says more than the
// fixed message: why the file could not be opened, and the sample size its
// format chunk declares (the loader reads 16-bit pairs whatever it says).
struct LoadFacts
{
    int openErrno = 0;      // the open's errno, when the file could not be opened
    unsigned fileType = 0;  // its S_IFMT bits, when it is not a regular file
    int declaredBits = -1;  // bits per sample, once the format chunk was read
    // The data chunk's size, once it was found.
    std::uint32_t dataBytes = 0;
};

// engine.LoadWaveFile(path), also filling `facts`, in the same one reading
// of the file.
bool LoadWaveFileTelling(CEngine& engine, const char* path, LoadFacts& facts);

// The two halves of it, for a caller that looks at the file in between (a
// .syx file starts with F0), so that no file is opened twice. OpenWaveFile
// opens a regular file and never waits on a named pipe; on failure it
// returns -1 with `facts` saying why. LoadWaveFileFrom reads the file from
// its start and closes it; given -1 it fails as the load of a file that
// could not be opened.
int OpenWaveFile(const char* path, LoadFacts& facts);
bool LoadWaveFileFrom(CEngine& engine, int fd, LoadFacts& facts);
