#include "SysexStream.h"

#include "WaveDump.h"

#include <utility>

void SysexStream::Feed(const std::uint8_t* bytes, std::size_t size, Listener& listener)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t byte = bytes[i];
        if (byte >= 0xF8)
            continue;  // real time: never part of a message, never ends one
        if (m_inside && byte < 0x80) {
            if (m_message.size() < kMaxBytes)
                m_message.push_back(byte);
            else
                m_tooLong = true;
            continue;
        }
        if (!m_inside && byte < 0x80) {
            m_stray += m_underStatus ? 0 : 1;
            continue;
        }
        if (!m_inside && byte == 0xF7 && m_stray > 0)
            listener.Dropped({}, "the last " + std::to_string(m_stray + 1) +
                                     " bytes of a System Exclusive message whose start was missed");
        m_stray = 0;
        m_underStatus = byte != 0xF0 && byte != 0xF7;
        if (m_inside && byte == 0xF7) {
            m_message.push_back(byte);
            if (m_tooLong)
                listener.Dropped(m_message,
                                 "a System Exclusive message longer than " + std::to_string(kMaxBytes) + " bytes");
            else
                listener.Message(m_message);
            m_inside = false;
        } else if (m_inside) {
            listener.Dropped(m_message, "a System Exclusive message cut short after " +
                                            std::to_string(m_message.size()) + " bytes by the status byte " +
                                            WaveDump::Hex(byte));
            m_inside = false;
        }
        if (byte == 0xF0) {
            m_message.assign(1, byte);
            m_inside = true;
            m_tooLong = false;
        }
    }
}

void SysexStream::Lost(Listener& listener)
{
    if (std::exchange(m_inside, false))
        listener.Dropped(m_message, "a System Exclusive message cut short after " + std::to_string(m_message.size()) +
                                        " bytes where input was lost");
}

void SysexStream::End(Listener& listener)
{
    if (std::exchange(m_inside, false))
        listener.Dropped(m_message, "a System Exclusive message cut short after " + std::to_string(m_message.size()) +
                                        " bytes by the end of the stream");
}
