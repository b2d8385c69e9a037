#include "LoadWave.h"

#include "Engine.h"
#include "LoadMessages.h"
#include "WaveFileFacts.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kBitsTheLoaderReads = 16;

}  // namespace

bool LoadWaveOrReport(const std::string& path)
{
    if (s_Engine.LoadWaveFile(path.c_str())) {
        const int bits = DeclaredBitsPerSample(path);
        if (bits >= 0 && bits != kBitsTheLoaderReads)
            std::fprintf(stderr,
                         "qwdump: %s: declares %d-bit samples; its bytes are read as 16-bit pairs "
                         "(qwdump fit converts it)\n",
                         path.c_str(), bits);
        return true;
    }
    std::string reason;
    if (std::strcmp(s_Engine.m_pszError, LoadMessages::kOpenFailed) == 0)
        reason = WhyNotOpened(path);
    std::fprintf(stderr, "qwdump: %s: %s%s%s%s\n", path.c_str(), s_Engine.m_pszError, reason.empty() ? "" : " (",
                 reason.c_str(), reason.empty() ? "" : ")");
    return false;
}
