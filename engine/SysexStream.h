// Whole System Exclusive messages out of the bytes a MIDI input delivers,
// in whatever pieces: the ALSA sequencer hands a long message on in several
// events, and a JACK sender may split one across events. Real-time bytes
// (F8-FF) may come inside a message and are dropped from it; a message cut
// short by another status byte is dropped whole. Bytes outside a message
// (notes, clock, a lone F7) are other traffic and are ignored, except data
// bytes under no status ended by F7: the tail of a message whose start was
// missed, dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class SysexStream
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        // A whole message, F0 to F7.
        virtual void Message(const std::vector<std::uint8_t>& message) = 0;
        // A message that was dropped, as far as it came, and why.
        virtual void Dropped(const std::vector<std::uint8_t>& begun, const std::string& why) = 0;
    };

    // Longer messages are dropped: no wave dump comes near it.
    static constexpr std::size_t kMaxBytes = 1 << 16;

    void Feed(const std::uint8_t* bytes, std::size_t size, Listener& listener);
    // Input was lost here: the message being received is dropped, since
    // its rest, or part of it, may be gone, and what comes next could join
    // its beginning to another message's end.
    void Lost(Listener& listener);
    // No more bytes will come: a message still being received is dropped.
    void End(Listener& listener);

private:
    std::vector<std::uint8_t> m_message;  // the one being received, from its F0
    bool m_inside = false;
    bool m_tooLong = false;
    bool m_underStatus = false;  // data bytes outside a message belong to a status byte
    std::size_t m_stray = 0;     // data bytes outside a message under no status
};
