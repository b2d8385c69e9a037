#include "OutputFile.h"

#include "Termination.h"

#include <cerrno>
#include <climits>
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
bool WriteInPlace(const std::string& path, const struct stat& existing, const void* data, std::size_t size,
                  std::string& error)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENXIO && S_ISFIFO(existing.st_mode))
            error = "it is a named pipe that no process is reading";
        else if (errno == ENXIO && S_ISSOCK(existing.st_mode))
            error = "it is a socket, which can't be written as a file";
        else
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

// Opens a new file beside `path`, named in `temporary`; -1, saying why, when
// none can be made.
int MakeTemporaryBeside(const std::string& path, std::string& temporary, std::string& error)
{
    temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        error = Reason("can't create a temporary file beside it", errno);
    return fd;
}

// A regular file: a temporary file in the same directory, renamed over
// `path` once written, synced and closed. It gets the mode (and, where
// allowed, the owner) the replaced file had, or that of a new file under
// the umask.
bool WriteByRename(const std::string& path, const struct stat* existing, const void* data, std::size_t size,
                   int signalsAnswered, std::string& error)
{
    std::string temporary;
    const int fd = MakeTemporaryBeside(path, temporary, error);
    if (fd < 0)
        return false;
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
    // Best effort: only root may give a file away.
    if (existing != nullptr && ::fchown(fd, existing->st_uid, existing->st_gid) != 0) {
    }
    if (::fchmod(fd, mode) != 0)
        fail("can't set the temporary file's permissions");
    else if (!WriteAll(fd, data, size))
        fail("can't write to the temporary file");
    else if (::fsync(fd) != 0)
        fail("can't flush the temporary file to disk");
    if (::close(fd) != 0 && step == nullptr)
        fail("can't close the temporary file");
    // Asked to end meanwhile: the old file stays as it was.
    if (step == nullptr && TerminationSignalCount() > signalsAnswered) {
        ::unlink(temporary.c_str());
        error = "interrupted before it was put in place";
        return false;
    }
    if (step == nullptr && ::rename(temporary.c_str(), path.c_str()) != 0)
        fail("can't put the temporary file in its place");
    if (step == nullptr)
        return true;
    error = Reason(step, cause);
    ::unlink(temporary.c_str());
    return false;
}

}  // namespace

// The end need not exist: a dangling link is written through, as the
// shell's '>' does.
bool FollowLinks(std::string& path, std::string& error)
{
    constexpr int kMaxLinks = 40;  // the kernel's own limit
    for (int links = 0;; ++links) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        if (links == kMaxLinks) {
            error = Reason("can't follow the symbolic link", ELOOP);
            return false;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length < 0 || static_cast<std::size_t>(length) == sizeof target) {
            error = Reason("can't follow the symbolic link", length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        std::string next(target, static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        if (!next.empty() && next.front() != '/' && slash != std::string::npos)
            next.insert(0, path, 0, slash + 1);
        path = next;
    }
}

namespace {

// Where writing `path` lands: `target`, at the end of its symbolic links,
// and what is there (in `info`, unless nothing is).
enum class Landing { kRefused, kNewFile, kRegularFile, kInPlace };
Landing FindLanding(const std::string& path, std::string& target, struct stat& info, std::string& error)
{
    if (path.empty()) {
        error = "no file name";
        return Landing::kRefused;
    }
    target = path;
    if (!FollowLinks(target, error))
        return Landing::kRefused;
    if (::lstat(target.c_str(), &info) != 0) {
        if (errno == ENOENT)
            return Landing::kNewFile;
        error = Reason("can't look at it", errno);
        return Landing::kRefused;
    }
    if (S_ISREG(info.st_mode)) {
        // The rename needs only the directory's permission; a file that may
        // not be written is not replaced either.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
            error = Reason("can't write to it", errno);
            return Landing::kRefused;
        }
        return Landing::kRegularFile;
    }
    if (S_ISDIR(info.st_mode)) {
        error = Reason("can't write to it", EISDIR);
        return Landing::kRefused;
    }
    return Landing::kInPlace;
}

}  // namespace

bool WriteOutputFile(const std::string& path, const void* data, std::size_t size, std::string& error,
                     int signalsAnswered)
{
    std::string target;
    struct stat info;
    switch (FindLanding(path, target, info, error)) {
    case Landing::kNewFile:
        return WriteByRename(target, nullptr, data, size, signalsAnswered, error);
    case Landing::kRegularFile:
        return WriteByRename(target, &info, data, size, signalsAnswered, error);
    case Landing::kInPlace:
        return WriteInPlace(target, info, data, size, error);
    case Landing::kRefused:
        break;
    }
    return false;
}

bool CanWriteOutputFile(const std::string& path, std::string& error)
{
    std::string target;
    struct stat info;
    const Landing landing = FindLanding(path, target, info, error);
    if (landing != Landing::kNewFile && landing != Landing::kRegularFile)
        return landing == Landing::kInPlace;  // a device or pipe is found out when written
    std::string temporary;
    const int fd = MakeTemporaryBeside(target, temporary, error);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(temporary.c_str());
    return true;
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
