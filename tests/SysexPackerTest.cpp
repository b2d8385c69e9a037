// The 300-byte wave dump message against bytes worked out by hand: F0 01 20
// 01 0A <index>, the wave's 256 little-endian bytes in groups of seven, each
// after a header byte whose bit k is bit 7 of its k-th byte, then F7.

#include "Engine.h"
#include "SysexStream.h"
#include "WaveDump.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pack(CEngine& engine, int index)
{
    std::uint32_t length = 0;
    const std::uint8_t* msg = engine.PackWavToSysex(index, length);
    return Bytes(msg, msg + length);
}

TEST(SysexPackerTest, TopBitsGoToEachGroupsHeaderAndTheLastGroupHoldsFourBytes)
{
    CEngine engine;
    engine.m_anWave[0] = 4660;  // 34 12
    engine.m_anWave[1] = -1;    // FF FF
    engine.m_anWave[2] = 128;   // 80 00
    Bytes expected = {0xF0, 0x01, 0x20, 0x01, 0x0A, 0x60, 0x1C, 0x34, 0x12, 0x7F, 0x7F, 0x00, 0x00, 0x00};
    expected.resize(299);
    expected.push_back(0xF7);
    EXPECT_EQ(Pack(engine, 96), expected);

    engine = CEngine();
    engine.m_anWave[126] = -1;              // FF FF
    engine.m_anWave[127] = -32768;          // 00 80
    const Bytes msg = Pack(engine, 0x17F);  // only the low eight bits are written
    EXPECT_EQ(Bytes(msg.begin() + 5, msg.begin() + 7), (Bytes{0x7F, 0x00}));
    EXPECT_EQ(Bytes(msg.end() - 6, msg.end()), (Bytes{0x0B, 0x7F, 0x7F, 0x00, 0x00, 0xF7}));
}

TEST(SysexPackerTest, RampMatchesTheReferenceBytes)
{
    CEngine engine;
    for (int i = 0; i < 128; ++i)
        engine.m_anWave[i] = static_cast<std::int16_t>(i * 515 - 32768);
    const Bytes msg = Pack(engine, 96);
    EXPECT_EQ(Bytes(msg.begin(), msg.begin() + 24),
              (Bytes{0xF0, 0x01, 0x20, 0x01, 0x0A, 0x60, 0x2A, 0x00, 0x00, 0x03, 0x02, 0x06,
                     0x04, 0x09, 0x55, 0x06, 0x0C, 0x08, 0x0F, 0x0A, 0x12, 0x0C, 0x2A, 0x15}));
    EXPECT_EQ(Bytes(msg.end() - 8, msg.end()), (Bytes{0x77, 0x7B, 0x00, 0x7A, 0x7D, 0x7D, 0x7F, 0xF7}));

    // Well formed, and unpacked sample for sample.
    std::size_t offset = 0;
    EXPECT_EQ(WaveDump::Check(msg.data(), msg.size(), offset), "");
    std::int16_t wave[128];
    WaveDump::Unpack(msg.data(), wave);
    EXPECT_TRUE(std::equal(wave, wave + 128, engine.m_anWave));
}

// What a MIDI input hands on, byte by byte, becomes whole messages: F8-FF
// inside one are dropped, another status byte or lost input ends one for
// nothing, and bytes outside messages are other traffic.
TEST(SysexStreamTest, JoinsPiecesAndDropsRealTimeBytesCutMessagesAndGarbage)
{
    struct : SysexStream::Listener
    {
        void Message(const Bytes& message) override
        {
            said += "message of " + std::to_string(message.size()) + "; ";
            messages.push_back(message);
        }
        void Dropped(const Bytes& begun, const std::string& why) override
        {
            said += why + " (" + std::to_string(begun.size()) + "); ";
        }
        std::string said;
        std::vector<Bytes> messages;
    } listener;
    CEngine engine;
    engine.m_anWave[0] = 12345;
    Bytes stream = {0x45, 0xF7, 0x90, 0x40, 0x7F, 0xF8};  // garbage, a lone F7, a note, clock
    const Bytes wave = Pack(engine, 100);
    stream.insert(stream.end(), wave.begin(), wave.end());
    stream.insert(stream.begin() + 6 + 150, {0xF8, 0xFE});
    stream.insert(stream.end(), {0xF0, 0x01, 0x20, 0x90, 0x40, 0xF0});  // cut short by a note
    stream.insert(stream.end(), wave.begin() + 1, wave.end() - 1);
    stream.insert(stream.end(), {0x00, 0xF7});  // one byte too long
    SysexStream parser;
    for (std::size_t i = 0; i < stream.size(); i += 7)
        parser.Feed(stream.data() + i, std::min<std::size_t>(7, stream.size() - i), listener);
    // After lost input, one message's end never joins another's beginning.
    parser.Lost(listener);
    parser.Feed(wave.data(), 150, listener);
    parser.Lost(listener);
    parser.Feed(wave.data() + 150, 150, listener);
    // A tail under no status byte is a message whose start was missed.
    parser.Feed(wave.data(), 200, listener);
    parser.End(listener);
    EXPECT_EQ(listener.said,
              "the last 2 bytes of a System Exclusive message whose start was missed (0); "
              "message of 300; a System Exclusive message cut short after 3 bytes by the status byte 90 (3); "
              "message of 301; a System Exclusive message cut short after 150 bytes where input was "
              "lost (150); the last 150 bytes of a System Exclusive message whose start was missed (0); "
              "a System Exclusive message cut short after 200 bytes by the end of the stream (200); ");
    ASSERT_EQ(listener.messages.size(), 2u);
    EXPECT_EQ(listener.messages[0], wave);
    std::size_t offset = 0;
    EXPECT_EQ(WaveDump::Check(listener.messages[1].data(), 301, offset),
              "00 where a 300-byte wave dump message ends with F7");
}

}  // namespace
