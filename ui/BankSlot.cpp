#include "BankSlot.h"

#include "Engine.h"
#include "WaveDump.h"

#include <algorithm>
#include <iterator>

std::string BankSlot::OriginText() const
{
    if (!filled)
        return "empty";
    const std::size_t slash = origin.rfind('/');
    return slash == std::string::npos ? origin : origin.substr(slash + 1);
}

std::vector<std::uint8_t> BankSlot::Message(int waveNumber) const
{
    // A private engine: the window's own keeps the big view's wave.
    CEngine engine;
    std::copy(std::begin(wave), std::end(wave), engine.m_anWave);
    engine.m_bLoaded = 1;
    engine.m_bResampled = fitted;
    std::uint32_t length = 0;
    const std::uint8_t* bytes = engine.PackWavToSysex(waveNumber - 1, length);
    return std::vector<std::uint8_t>(bytes, bytes + length);
}

BankSlot BankSlot::FromMessage(const std::uint8_t* message, std::string origin, State state)
{
    BankSlot slot;
    slot.filled = true;
    WaveDump::Unpack(message, slot.wave);
    slot.origin = std::move(origin);
    slot.state = state;
    return slot;
}

bool BankSlot::SameWave(const BankSlot& other) const
{
    return filled == other.filled && std::equal(std::begin(wave), std::end(wave), std::begin(other.wave));
}
