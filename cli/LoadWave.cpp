#include "LoadWave.h"

#include "Engine.h"

#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

constexpr int kBitsTheLoaderReads = 16;

// Why the loader could not open the file, as the system tells it.
std::string WhyNotOpened(const LoadFacts& facts)
{
    switch (facts.fileType) {
    case 0:
        return facts.openErrno != 0 ? std::strerror(facts.openErrno) : "";
    case S_IFDIR:
        return std::strerror(EISDIR);
    case S_IFIFO:
        return "Is a named pipe, not a regular file";
    case S_IFSOCK:
        return "Is a socket, not a regular file";
    default:
        return "Is a device, not a regular file";
    }
}

}  // namespace

bool LoadWaveOrReport(const std::string& path)
{
    LoadFacts facts;
    if (LoadWaveFileTelling(s_Engine, path.c_str(), facts)) {
        if (facts.declaredBits != kBitsTheLoaderReads)
            std::fprintf(stderr,
                         "qwdump: %s: declares %d-bit samples; its bytes are read as 16-bit pairs "
                         "(qwdump fit converts it)\n",
                         path.c_str(), facts.declaredBits);
        return true;
    }
    const std::string reason = WhyNotOpened(facts);
    std::fprintf(stderr, "qwdump: %s: %s%s%s%s\n", path.c_str(), s_Engine.m_pszError, reason.empty() ? "" : " (",
                 reason.c_str(), reason.empty() ? "" : ")");
    return false;
}
