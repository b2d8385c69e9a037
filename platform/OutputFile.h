// Writing a file a user named, without ever destroying what was there.
//
// A regular file (or a path where nothing exists yet) is written to a
// temporary file beside it, flushed to disk and renamed over it only once
// every byte is in place, so a failure leaves the old file untouched and
// removes only the temporary one. The new file keeps the old one's mode and,
// where allowed, its owner; a file the user may not write is not replaced.
// A symbolic link is written through, even a dangling one: its target is
// replaced or created and the link stays. Anything else that exists at the
// path (a device, a named pipe, a socket) is written in place and never
// removed; a named pipe that nobody reads is an error, not a hang.
#pragma once

#include <cstddef>
#include <string>

// Writes `size` bytes to `path`. On failure returns false and sets `error`
// to the reason, the failing step and its system error text (e.g. "can't
// write to the temporary file: File too large"). A termination signal
// caught before the new file is in place leaves the old one, unless it is
// one of the first `signalsAnswered`, which the caller has answered
// already (receive writes what it collected after one).
bool WriteOutputFile(const std::string& path, const void* data, std::size_t size, std::string& error,
                     int signalsAnswered = 0);

// Whether WriteOutputFile could write `path` now, found as it would find
// out (a temporary file is made beside a regular file, and removed), so
// that a long task can be refused before it starts; false with `error` set
// as WriteOutputFile sets it.
bool CanWriteOutputFile(const std::string& path, std::string& error);

// Follows `path` through its chain of symbolic links to where writing it
// lands, which need not exist. On a loop or a link that can't be read,
// returns false with `error` set.
bool FollowLinks(std::string& path, std::string& error);

// True when `a` and `b` name the same existing file: the same device and
// inode, or the same path once symbolic links and ".." are resolved.
bool IsSameFile(const std::string& a, const std::string& b);
