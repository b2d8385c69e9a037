#include "InputFile.h"

#include "FitWave.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kBitsTheLoaderReads = 16;

// Why the file could not be opened, as the system tells it.
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

InputFile::InputFile(std::string path) : m_path(std::move(path)), m_fd(OpenWaveFile(m_path.c_str(), m_facts))
{
    // Read in place, so that every reader still starts at the beginning.
    std::uint8_t first = 0;
    m_syx = m_fd >= 0 && ::pread(m_fd, &first, 1, 0) == 1 && first == 0xF0;
}

InputFile::InputFile(InputFile&& other) noexcept
    : m_path(other.m_path), m_facts(other.m_facts), m_fd(other.Take()), m_syx(other.m_syx)
{
}

InputFile::~InputFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int InputFile::Take()
{
    return std::exchange(m_fd, -1);
}

bool InputFile::LoadWaveOrReport()
{
    if (LoadWaveFileFrom(s_Engine, Take(), m_facts)) {
        if (m_facts.declaredBits != kBitsTheLoaderReads)
            std::fprintf(stderr,
                         "qwdump: %s: declares %d-bit samples; its bytes are read as 16-bit pairs "
                         "(qwdump fit converts it)\n",
                         m_path.c_str(), m_facts.declaredBits);
        return true;
    }
    const std::string reason = WhyNotOpened(m_facts);
    std::fprintf(stderr, "qwdump: %s: %s%s%s%s\n", m_path.c_str(), s_Engine.m_pszError, reason.empty() ? "" : " (",
                 reason.c_str(), reason.empty() ? "" : ")");
    return false;
}

bool InputFile::FitOrReport(const FitRequest& request, FittedTable& table)
{
    // Not opened: the fit tries the path itself, and says why in its words.
    return FitTableOrReport(m_path, request, table, Take());
}

bool InputFile::ReadSyxOrReport(std::vector<SysexMessage>& messages, std::vector<std::string>* skipped)
{
    std::string error;
    bool read = false;
    if (m_fd >= 0)
        read = ReadSyxMessages(Take(), messages, error, skipped);
    else
        error = m_facts.fileType != 0 ? "not a regular file" : std::strerror(m_facts.openErrno);
    if (skipped != nullptr) {
        for (const std::string& notice : *skipped)
            std::fprintf(stderr, "qwdump: %s: %s\n", m_path.c_str(), notice.c_str());
    }
    if (!read)
        std::fprintf(stderr, "qwdump: %s: %s\n", m_path.c_str(), error.c_str());
    return read;
}
