// Reading the chunks of a RIFF file from a stdio stream, the WAV loader's
// way: one read of one item at a time, unsigned chunk sizes, and skips that
// never move backward. Shared with qwdump, which looks at fields the loader
// ignores without parsing the file a second way.
#pragma once

#include "ByteOrder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include <sys/types.h>

static_assert(sizeof(off_t) >= 8, "chunk skips need 64-bit file offsets");

namespace RiffChunks {

// One read of one item of `size` bytes. It fails when the end-of-file
// indicator is set afterwards (tested first) or the item was not read.
inline bool ReadItem(std::FILE* file, void* buffer, std::size_t size)
{
    const std::size_t items = std::fread(buffer, size, 1, file);
    if (std::feof(file))
        return false;
    return items == 1;
}

// Skips forward over `size` bytes plus the pad byte of an odd size. Sizes are
// unsigned, so a skip never moves backward; a skip past the end shows up as a
// failed read of the next header.
inline void SkipPadded(std::FILE* file, std::uint32_t size)
{
    ::fseeko(file, static_cast<off_t>(size) + (size & 1u), SEEK_CUR);
}

struct ChunkHeader
{
    char id[4];
    std::uint32_t size;

    bool Is(const char (&wanted)[5]) const { return std::memcmp(id, wanted, 4) == 0; }
};

// False when the 8-byte header can't be read.
inline bool ReadChunkHeader(std::FILE* file, ChunkHeader& header)
{
    std::uint8_t raw[8];
    if (!ReadItem(file, raw, sizeof raw))
        return false;
    std::memcpy(header.id, raw, 4);
    header.size = ByteOrder::Le32(raw + 4);
    return true;
}

// Walks forward, skipping every other chunk, until a chunk named `id`; false
// when a header can't be read first.
inline bool FindChunk(std::FILE* file, const char (&id)[5], ChunkHeader& header)
{
    for (;;) {
        if (!ReadChunkHeader(file, header))
            return false;
        if (header.Is(id))
            return true;
        SkipPadded(file, header.size);
    }
}

}  // namespace RiffChunks
