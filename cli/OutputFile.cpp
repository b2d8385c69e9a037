#include "OutputFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(const char* step, int error)
{
    return std::string(step) + ": " + std::strerror(error);
}

// Writes everything, retrying short writes and interruptions.
bool WriteAll(int fd, const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, bytes, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// A device, pipe or socket: written where it is. A pipe is opened without
// waiting, so one that nobody reads is an error instead of a hang.
bool WriteInPlace(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = Reason("can't open it for writing", errno);
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    const bool written = WriteAll(fd, data, size);
    const int writeErrno = errno;
    if (!written) {
        ::close(fd);
        error = Reason("can't write to it", writeErrno);
        return false;
    }
    if (::close(fd) != 0) {
        error = Reason("can't finish writing to it", errno);
        return false;
    }
    return true;
}

// A regular file: a temporary file in the same directory, renamed over
// `path` once written, synced and closed. It gets the mode the replaced
// file had, or that of a new file under the umask.
bool WriteByRename(const std::string& path, const struct stat* existing, const void* data, std::size_t size,
                   std::string& error)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Reason("can't create a temporary file beside it", errno);
        return false;
    }
    mode_t mode = existing != nullptr ? (existing->st_mode & 07777) : 0;
    if (existing == nullptr) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const char* step = nullptr;
    int cause = 0;
    const auto fail = [&](const char* what) {
        step = what;
        cause = errno;
    };
    if (::fchmod(fd, mode) != 0)
        fail("can't set the temporary file's permissions");
    else if (!WriteAll(fd, data, size))
        fail("can't write to the temporary file");
    else if (::fsync(fd) != 0)
        fail("can't flush the temporary file to disk");
    if (::close(fd) != 0 && step == nullptr)
        fail("can't close the temporary file");
    if (step == nullptr && ::rename(temporary.c_str(), path.c_str()) != 0)
        fail("can't put the temporary file in its place");
    if (step == nullptr)
        return true;
    error = Reason(step, cause);
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace

bool WriteOutputFile(const std::string& path, const void* data, std::size_t size, std::string& error)
{
    if (path.empty()) {
        error = "no file name";
        return false;
    }
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = Reason("can't look at it", errno);
            return false;
        }
        return WriteByRename(path, nullptr, data, size, error);
    }
    if (S_ISLNK(info.st_mode)) {
        char target[PATH_MAX];
        if (::realpath(path.c_str(), target) == nullptr) {
            error = Reason("can't follow the symbolic link", errno);
            return false;
        }
        return WriteOutputFile(target, data, size, error);
    }
    if (S_ISREG(info.st_mode))
        return WriteByRename(path, &info, data, size, error);
    if (S_ISDIR(info.st_mode)) {
        error = Reason("can't write to it", EISDIR);
        return false;
    }
    return WriteInPlace(path, data, size, error);
}

bool IsSameFile(const std::string& a, const std::string& b)
{
    struct stat first;
    struct stat second;
    if (::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    char resolvedA[PATH_MAX];
    char resolvedB[PATH_MAX];
    return ::realpath(a.c_str(), resolvedA) != nullptr && ::realpath(b.c_str(), resolvedB) != nullptr &&
           std::strcmp(resolvedA, resolvedB) == 0;
}
