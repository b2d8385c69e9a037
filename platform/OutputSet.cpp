#include "OutputSet.h"

#include "OutputFile.h"
#include "Termination.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(const char* step, int error)
{
    return std::string(step) + ": " + std::strerror(error);
}

bool WriteAll(int fd, const std::string& bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno != EINTR)
            return false;
        done += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    return true;
}

// Moves `from` to `to`: swapped with what is there (`exchange`), or only
// where nothing is. A file system that can do neither (EINVAL) gets a plain
// rename, and a replaced file can't then be kept: `kept` says whether it is.
bool Place(const std::string& from, const std::string& to, bool exchange, bool& kept)
{
    kept = exchange;
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), exchange ? RENAME_EXCHANGE : RENAME_NOREPLACE) == 0)
        return true;
    kept = false;
    return errno == EINVAL && ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

OutputSet::~OutputSet()
{
    for (const Staged& left : m_staged)
        ::unlink(left.temporary.c_str());
}

bool OutputSet::Add(const std::string& path, const std::string& bytes, std::string& error)
{
    Staged staged{path, "", false, false};
    if (!FollowLinks(staged.target, error))
        return false;
    struct stat existing
    {
    };
    if (::lstat(staged.target.c_str(), &existing) != 0) {
        if (errno != ENOENT) {
            error = Reason("can't look at it", errno);
            return false;
        }
    } else if (S_ISDIR(existing.st_mode)) {
        error = Reason("can't write to it", EISDIR);
        return false;
    } else if (!S_ISREG(existing.st_mode)) {
        error = "it is not a regular file";
        return false;
    } else if (::faccessat(AT_FDCWD, staged.target.c_str(), W_OK, AT_EACCESS) != 0) {
        error = Reason("can't write to it", errno);
        return false;
    } else {
        staged.replaces = true;
    }

    staged.temporary = staged.target + ".XXXXXX";
    const int fd = ::mkostemp(staged.temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = Reason("can't create a temporary file beside it", errno);
        return false;
    }
    mode_t mode = existing.st_mode & 07777;
    if (!staged.replaces) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    // Best effort: only root may give a file away.
    if (staged.replaces && ::fchown(fd, existing.st_uid, existing.st_gid) != 0) {
    }
    const char* step = ::fchmod(fd, mode) != 0 ? "can't set the temporary file's permissions"
                       : !WriteAll(fd, bytes)  ? "can't write to the temporary file"
                       : ::fsync(fd) != 0      ? "can't flush the temporary file to disk"
                                               : nullptr;
    int cause = errno;
    if (::close(fd) != 0 && step == nullptr) {
        step = "can't close the temporary file";
        cause = errno;
    }
    if (step != nullptr) {
        error = Reason(step, cause);
        ::unlink(staged.temporary.c_str());
        return false;
    }
    m_staged.push_back(staged);
    return true;
}

bool OutputSet::PutInPlace(std::string& error)
{
    if (TerminationSignal() != 0) {
        error = "interrupted before anything was put in place";
        return false;
    }
    for (std::size_t i = 0; i < m_staged.size(); ++i) {
        Staged& staged = m_staged[i];
        // A file that turned up meanwhile is not replaced unseen.
        if (!Place(staged.temporary, staged.target, staged.replaces, staged.exchanged)) {
            error = "cannot write " + staged.target + ": " + Reason("can't put the temporary file in its place", errno);
            PutBack(i);
            return false;
        }
    }
    // What remains at the temporary names are the files replaced.
    for (const Staged& staged : m_staged)
        if (staged.exchanged)
            ::unlink(staged.temporary.c_str());
    m_staged.clear();
    return true;
}

// Undoes the first `count` placements, last first: a replaced file goes
// back, a new one back to its temporary name (removed with the rest).
void OutputSet::PutBack(std::size_t count)
{
    while (count-- > 0) {
        const Staged& staged = m_staged[count];
        if (staged.exchanged)
            ::renameat2(AT_FDCWD, staged.temporary.c_str(), AT_FDCWD, staged.target.c_str(), RENAME_EXCHANGE);
        else if (!staged.replaces)
            ::rename(staged.target.c_str(), staged.temporary.c_str());
    }
}
