#include "SyxFile.h"

#include "WaveDump.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// More than the 32 user waves of any bank, with room to spare.
constexpr std::size_t kMaxFileBytes = 1024 * WaveDump::kBytes;

// The whole file, when it is a regular file of at most `limit` bytes.
bool ReadRegularFile(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes, std::string& error)
{
    error.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > limit) {
        error = "larger than any bank of wave dump messages (" + std::to_string(info.st_size) + " bytes)";
    } else {
        bytes.resize(static_cast<std::size_t>(info.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                error = n < 0 ? std::strerror(errno) : "it grew shorter while being read";
                break;
            }
            got += static_cast<std::size_t>(n);
        }
    }
    ::close(fd);
    return error.empty();
}

}  // namespace

bool LooksLikeSyxFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    std::uint8_t first = 0;
    const bool syx = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::read(fd, &first, 1) == 1 && first == 0xF0;
    ::close(fd);
    return syx;
}

bool ReadSyxFile(const std::string& path, std::vector<SysexMessage>& messages, std::string& error)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadRegularFile(path, kMaxFileBytes, bytes, error))
        return false;
    for (std::size_t start = 0; start < bytes.size(); start += WaveDump::kBytes) {
        std::size_t offset = 0;
        const std::string wrong = WaveDump::Check(bytes.data() + start, bytes.size() - start, offset);
        if (!wrong.empty()) {
            error = "byte " + std::to_string(start + offset) + ": " + wrong;
            return false;
        }
        messages.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                              bytes.begin() + static_cast<std::ptrdiff_t>(start + WaveDump::kBytes));
    }
    return true;
}
