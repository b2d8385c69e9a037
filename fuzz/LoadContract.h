// The loader's outward contract, checked after every fuzzed load.
#pragma once

#include "Engine.h"
#include "LoadMessages.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include <unistd.h>

inline void ContractViolated(const char* what)
{
    std::fprintf(stderr, "loader contract violated: %s\n", what);
    std::abort();
}

inline bool IsFixedMessage(const char* message)
{
    using namespace LoadMessages;
    for (const char* fixed : {kOpenFailed, kNotWav, kNotMonoPcm, kNoData, kShort256, kTooMany, kTooFew, kTruncated})
        if (message == fixed)
            return true;
    return false;
}

inline void CheckLoadContract(const CEngine& engine, bool loaded)
{
    if (static_cast<int>(loaded) != engine.m_bLoaded)
        ContractViolated("result differs from m_bLoaded");
    if (loaded) {
        if (engine.m_pszError == nullptr || engine.m_pszError[0] != '\0')
            ContractViolated("a success left a message");
        if (engine.m_bResampled != 0 && engine.m_bResampled != 1)
            ContractViolated("m_bResampled is not a flag");
    } else {
        if (engine.m_bResampled != 0)
            ContractViolated("a failure left m_bResampled set");
        if (!IsFixedMessage(engine.m_pszError))
            ContractViolated("a failure's message is not one of the fixed texts");
    }
}

// Each input becomes a real file, since the loader reads files.
class FuzzFile
{
public:
    FuzzFile()
    {
        std::snprintf(m_path, sizeof m_path, "/tmp/qwd-fuzz-%d.wav", static_cast<int>(::getpid()));
    }
    ~FuzzFile() { std::remove(m_path); }

    const char* Write(const std::uint8_t* data, std::size_t size)
    {
        std::FILE* file = std::fopen(m_path, "wb");
        if (file == nullptr || (size != 0 && std::fwrite(data, size, 1, file) != 1) || std::fclose(file) != 0)
            ContractViolated("cannot write the input file");
        return m_path;
    }

private:
    char m_path[64];
};
