// The loader's outward contract, checked after every fuzzed load.
#pragma once

#include "Engine.h"
#include "LoadMessages.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include <unistd.h>

inline void ContractViolated(const char* what)
{
    std::fprintf(stderr, "loader contract violated: %s\n", what);
    std::abort();
}

inline void CheckLoadContract(const CEngine& engine, bool loaded)
{
    using namespace LoadMessages;
    if (static_cast<int>(loaded) != engine.m_bLoaded || engine.m_bResampled < 0 || engine.m_bResampled > loaded)
        ContractViolated("m_bLoaded or m_bResampled do not tell how the load went");
    if (loaded && engine.m_pszError[0] != '\0')
        ContractViolated("a success left a message");
    if (loaded)
        return;
    for (const char* fixed : {kOpenFailed, kNotWav, kNotMonoPcm, kNoData, kShort256, kTooMany, kTooFew, kTruncated})
        if (engine.m_pszError == fixed)
            return;
    ContractViolated("a failure's message is not one of the fixed texts");
}

// Each input becomes a real file, since the loader reads files.
inline const char* WriteInputFile(const std::uint8_t* data, std::size_t size)
{
    static char path[64];
    if (path[0] == '\0') {
        std::snprintf(path, sizeof path, "/tmp/qwd-fuzz-%d.wav", static_cast<int>(::getpid()));
        std::atexit([] { std::remove(path); });
    }
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr || (size != 0 && std::fwrite(data, size, 1, file) != 1) || std::fclose(file) != 0)
        ContractViolated("cannot write the input file");
    return path;
}
