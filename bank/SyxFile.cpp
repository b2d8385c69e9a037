#include "SyxFile.h"

#include "OutputFile.h"
#include "WaveDump.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The whole file open at `fd` (which it closes), when it is a regular file
// of at most `limit` bytes.
bool ReadRegularFile(int fd, std::size_t limit, std::vector<std::uint8_t>& bytes, std::string& error)
{
    error.clear();
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = "not a regular file";
    } else if (static_cast<std::size_t>(info.st_size) > limit) {
        error = "larger than any .syx file qwdump reads (" + std::to_string(info.st_size) + " bytes, " +
                std::to_string(limit >> 20) + " MiB at most)";
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

bool ReadSyxMessages(int fd, std::vector<SysexMessage>& messages, std::string& error, std::vector<std::string>* skipped)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadRegularFile(fd, kMaxSyxFileBytes, bytes, error))
        return false;
    const auto at = [&bytes](std::size_t offset) { return bytes.begin() + static_cast<std::ptrdiff_t>(offset); };
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t offset = 0;
        if (skipped != nullptr && bytes[start] == 0xF0) {
            // A whole message that is not a well-formed wave dump is skipped, up to its F7.
            const std::size_t headerBytes = std::min(sizeof WaveDump::kHeader, bytes.size() - start);
            const bool waveHeader = std::equal(at(start), at(start + headerBytes), std::begin(WaveDump::kHeader));
            const auto end = std::find_if(at(start + 1), bytes.end(), [](std::uint8_t byte) { return byte >= 0x80; });
            const bool whole = end != bytes.end() && *end == 0xF7;
            const auto next = static_cast<std::size_t>(end - bytes.begin()) + 1;
            const std::string wrong = whole ? WaveDump::Check(bytes.data() + start, next - start, offset) : "";
            if (whole && !wrong.empty()) {
                skipped->push_back(
                    "byte " + std::to_string(start) + ": skipped a " + std::to_string(next - start) +
                    "-byte System Exclusive message that is not a " +
                    (waveHeader ? "well-formed wave dump (byte " + std::to_string(start + offset) + ": " + wrong + ")"
                                : std::string("wave dump")));
                start = next;
                continue;
            }
            if (!whole && !waveHeader) {
                error = "byte " + std::to_string(end - bytes.begin()) +
                        (end == bytes.end() ? ": the file ends inside a message" : ": a status byte inside a message");
                return false;
            }
        }
        const std::string wrong = WaveDump::Check(bytes.data() + start, bytes.size() - start, offset);
        if (!wrong.empty()) {
            error = "byte " + std::to_string(start + offset) + ": " + wrong;
            return false;
        }
        messages.emplace_back(at(start), at(start + WaveDump::kBytes));
        start += WaveDump::kBytes;
    }
    return true;
}

std::string HexLine(const SysexMessage& message)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string line;
    for (const std::uint8_t byte : message) {
        line += line.empty() ? "" : " ";
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0xF];
    }
    return line;
}

bool WriteSyxFile(const std::string& path, const std::vector<SysexMessage>& messages, std::string& error,
                  int signalsAnswered)
{
    SysexMessage bytes;
    for (const SysexMessage& message : messages)
        bytes.insert(bytes.end(), message.begin(), message.end());
    return WriteOutputFile(path, bytes.data(), bytes.size(), error, signalsAnswered);
}
