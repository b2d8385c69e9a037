#include "WaveFileFacts.h"

#include "RiffChunks.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As the loader opens a file: without waiting on a named pipe.
int OpenForReading(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
}

}  // namespace

std::string WhyNotOpened(const std::string& path)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return std::strerror(errno);
    if (S_ISDIR(info.st_mode))
        return std::strerror(EISDIR);
    if (S_ISFIFO(info.st_mode))
        return "Is a named pipe, not a regular file";
    if (S_ISSOCK(info.st_mode))
        return "Is a socket, not a regular file";
    if (!S_ISREG(info.st_mode))
        return "Is a device, not a regular file";
    const int fd = OpenForReading(path);
    if (fd < 0)
        return std::strerror(errno);
    ::close(fd);
    return "";
}

int DeclaredBitsPerSample(const std::string& path)
{
    const int fd = OpenForReading(path);
    if (fd < 0)
        return -1;
    std::FILE* const file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
        return -1;
    }
    // The loader has already vouched for the RIFF and WAVE identifiers.
    std::uint8_t riffWave[12];
    RiffChunks::ChunkHeader format;
    std::uint8_t fields[16];
    int bits = -1;
    if (RiffChunks::ReadItem(file, riffWave, sizeof riffWave) && RiffChunks::FindChunk(file, "fmt ", format) &&
        RiffChunks::ReadItem(file, fields, sizeof fields))
        bits = ByteOrder::Le16(fields + 14);
    std::fclose(file);
    return bits;
}
