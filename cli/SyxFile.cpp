#include "SyxFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kMessageBytes = 300;
constexpr std::uint8_t kHeader[] = {0xF0, 0x01, 0x20, 0x01, 0x0A};
// More than the 32 user waves of any bank, with room to spare.
constexpr std::size_t kMaxFileBytes = 1024 * kMessageBytes;

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

std::string Hex(std::uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

// What is wrong at the first bad byte of the message at `start`, or "".
std::string CheckMessage(const std::vector<std::uint8_t>& bytes, std::size_t start, std::size_t& offset)
{
    const std::size_t available = bytes.size() - start;
    for (std::size_t i = 0; i < sizeof kHeader; ++i) {
        offset = start + i;
        if (i >= available)
            return "the file ends inside a message";
        if (bytes[offset] != kHeader[i])
            return Hex(bytes[offset]) + " where the wave dump header F0 01 20 01 0A has " + Hex(kHeader[i]);
    }
    offset = start + 5;
    if (available <= 5)
        return "the file ends inside a message";
    if (bytes[offset] < 96 || bytes[offset] > 127)
        return "wave index " + Hex(bytes[offset]) + " is outside 60-7F (waves 97-128)";
    for (std::size_t i = 6; i < kMessageBytes; ++i) {
        offset = start + i;
        if (i >= available)
            return "the file ends inside a message (" + std::to_string(available) + " of its 300 bytes)";
        const std::uint8_t byte = bytes[offset];
        if (i == kMessageBytes - 1 && byte != 0xF7)
            return Hex(byte) + " where a 300-byte wave dump message ends with F7";
        if (i < kMessageBytes - 1 && byte >= 0x80)
            return Hex(byte) + " inside a wave dump message, where every byte is below 80";
    }
    return "";
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
    for (std::size_t start = 0; start < bytes.size(); start += kMessageBytes) {
        std::size_t offset = start;
        const std::string wrong = CheckMessage(bytes, start, offset);
        if (!wrong.empty()) {
            error = "byte " + std::to_string(offset) + ": " + wrong;
            return false;
        }
        messages.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                              bytes.begin() + static_cast<std::ptrdiff_t>(start + kMessageBytes));
    }
    return true;
}
