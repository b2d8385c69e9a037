// Several files written whole or not at all, as qwdump unpack writes a set of
// WAV files. Each goes to a temporary file beside it, flushed to disk; only
// once every one is there are they put in place. A file that is replaced
// stays, under the temporary name, until all are in place, so a failure
// midway puts back what was there. As with WriteOutputFile a symbolic link
// is written through, a replaced file keeps its mode and (where allowed) its
// owner, and one the user may not write is not replaced; anything at the end
// of a path but a regular file is refused.
#pragma once

#include <string>
#include <vector>

class OutputSet
{
public:
    OutputSet() = default;
    // Removes whatever was written and not put in place.
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // Writes `bytes` to a temporary file beside `path`. On failure returns
    // false with `error` set to the step and its system error text.
    bool Add(const std::string& path, const std::string& bytes, std::string& error);
    // Puts every file in place. On failure (or when a termination signal
    // came meanwhile) puts back what it replaced and returns false with
    // `error` set: "cannot write FILE: why", or "interrupted ...".
    bool PutInPlace(std::string& error);

private:
    struct Staged
    {
        std::string target;     // the path, its links followed
        std::string temporary;  // the new file until put in place; then the old one, when it replaced one
        bool replaces = false;
        bool exchanged = false;  // in place, the old file kept at `temporary`
    };
    void PutBack(std::size_t count);

    std::vector<Staged> m_staged;
};
