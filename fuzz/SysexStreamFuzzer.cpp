// A MIDI input's bytes in pieces of every size (the first byte picks the
// size): whatever comes, each message handed on runs from F0 to F7 with only
// data bytes between, and a well-formed wave dump among them unpacks to a
// wave that packs back to the very same bytes.

#include "Engine.h"
#include "SysexStream.h"
#include "WaveDump.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Violated(const char* what)
{
    std::fprintf(stderr, "stream contract violated: %s\n", what);
    std::abort();
}

struct Checker : SysexStream::Listener
{
    void Message(const std::vector<std::uint8_t>& message) override
    {
        if (message.size() < 2 || message.front() != 0xF0 || message.back() != 0xF7 ||
            message.size() > SysexStream::kMaxBytes + 1 ||
            std::any_of(message.begin() + 1, message.end() - 1, [](std::uint8_t byte) { return byte >= 0x80; }))
            Violated("a message that is not F0, data bytes, F7");
        std::size_t offset = 0;
        if (!WaveDump::Check(message.data(), message.size(), offset).empty() || message.size() != WaveDump::kBytes)
            return;
        CEngine engine;
        WaveDump::Unpack(message.data(), engine.m_anWave);
        std::uint32_t length = 0;
        const std::uint8_t* again = engine.PackWavToSysex(message[WaveDump::kIndexOffset], length);
        if (!std::equal(message.begin(), message.end(), again))
            Violated("a wave dump that does not pack back to itself");
    }
    void Dropped(const std::vector<std::uint8_t>&, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 64;
    SysexStream stream;
    Checker checker;
    for (std::size_t i = 1; i < size; i += piece)
        stream.Feed(data + i, std::min(piece, size - i), checker);
    return 0;
}
