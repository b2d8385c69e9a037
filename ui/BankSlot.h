// One of the bank's 32 slots, waves 97 to 128: the wave it holds, where that
// came from, and what the synth is known to hold of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct BankSlot
{
    enum State {
        kNone,      // nothing known: empty, or as opened
        kChanged,   // changed since the last send or receive
        kSent,      // went out to the synth
        kFailed,    // its send failed
        kReceived,  // came from the synth
        kSame,      // the synth sent back the same wave
        kDiffers,   // the synth sent back another wave
        kMissing,   // the synth sent nothing back for it
        // Handed over, but its send did not finish in time: it may still go
        // out, so it is not called failed.
        kUnconfirmed,
        kDamaged,  // its wave dump came from the synth, but not whole
    };

    bool filled = false;
    std::int16_t wave[128] = {};
    bool fitted = false;  // fitted from another length, as the big view marks it
    // A file's path, "from the synth", or the .syx bank's path it was read from.
    std::string origin;
    State state = kNone;

    // What the panel says under the picture: the origin's last part, or "empty".
    std::string OriginText() const;
    // The 300-byte wave dump message for `waveNumber`, as the engine packs it.
    std::vector<std::uint8_t> Message(int waveNumber) const;
    // The slot a well-formed wave dump message fills.
    static BankSlot FromMessage(const std::uint8_t* message, std::string origin, State state);
    bool SameWave(const BankSlot& other) const;
};

inline constexpr char kFromTheSynth[] = "from the synth";

// The slot of a wave number, and back.
inline int SlotOfWave(int waveNumber)
{
    return waveNumber - 97;
}
inline int WaveOfSlot(int slot)
{
    return slot + 97;
}
