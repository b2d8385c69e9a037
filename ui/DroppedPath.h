// The first local file named by a dropped file list (text/uri-list), as the
// exact bytes the file system spells its path with.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct DroppedPath
{
    enum Status {
        kNoFile,    // the list names no local file (empty, or only other URLs)
        kFound,     // `path` holds the first local file's path
        kTooLong,   // that path has more bytes than the room given
        kNotExact,  // that path holds a NUL byte or a broken %-escape
    };
    Status status = kNoFile;
    std::string path;
};

// `uriList` holds one URI a line; lines starting with '#' are comments. A
// file: URI whose host is empty, "localhost" or `hostName` names a local
// file. Its path is decoded byte for byte from its %-escapes, so names that
// are not valid UTF-8 come through unchanged. Only the first local file
// counts: if it can't be given exactly in `maxBytes` bytes, the drop has no
// usable path rather than a shortened or altered one.
DroppedPath FirstDroppedFilePath(std::string_view uriList, std::size_t maxBytes, std::string_view hostName);

// Every local file the list names, in its order, each judged as the first
// one is: a bank panel's drop takes them all.
std::vector<DroppedPath> DroppedFilePaths(std::string_view uriList, std::size_t maxBytes, std::string_view hostName);
