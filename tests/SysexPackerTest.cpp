#include "Engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pack(CEngine& engine, int index)
{
    std::uint32_t length = 0;
    const std::uint8_t* msg = engine.PackWavToSysex(index, length);
    EXPECT_EQ(length, 300u);
    return Bytes(msg, msg + length);
}

// F0 start of System Exclusive, 01 manufacturer, 20 01 0A, the index, then
// `packed` followed by zeros up to 293 packed bytes, and F7, end of System
// Exclusive.
Bytes Expected(std::uint8_t index, const Bytes& packed = {})
{
    Bytes msg(300, 0x00);
    const Bytes prefix = {0xF0, 0x01, 0x20, 0x01, 0x0A, index};
    std::copy(prefix.begin(), prefix.end(), msg.begin());
    std::copy(packed.begin(), packed.end(), msg.begin() + 6);
    msg[299] = 0xF7;
    return msg;
}

TEST(SysexPackerTest, EmptyEngineGivesHeaderZerosAndEnd)
{
    CEngine engine;
    EXPECT_EQ(Pack(engine, 96), Expected(0x60));  // wave 97 is index 96
}

TEST(SysexPackerTest, TopBitsGoToTheGroupHeader)
{
    CEngine engine;
    engine.m_anWave[0] = 4660;  // 34 12
    engine.m_anWave[1] = -1;    // FF FF
    engine.m_anWave[2] = 128;   // 80 00
    // Group header: bits 2, 3 and 4 carry the top bits of FF, FF and 80;
    // then the group's seven bytes with bit 7 cleared: 34 12 FF FF 80 00 00.
    EXPECT_EQ(Pack(engine, 96), Expected(0x60, {0x1C, 0x34, 0x12, 0x7F, 0x7F, 0x00, 0x00, 0x00}));

    engine = CEngine();
    engine.m_anWave[0] = -32768;  // 00 80: only the high byte's header bit
    EXPECT_EQ(Pack(engine, 96), Expected(0x60, {0x02}));
}

TEST(SysexPackerTest, RampMatchesTheReferenceBytes)
{
    CEngine engine;
    for (int i = 0; i < 128; ++i)
        engine.m_anWave[i] = static_cast<std::int16_t>(i * 515 - 32768);
    const Bytes msg = Pack(engine, 96);

    const Bytes head = {0xF0, 0x01, 0x20, 0x01, 0x0A, 0x60, 0x2A, 0x00, 0x00, 0x03, 0x02, 0x06,
                        0x04, 0x09, 0x55, 0x06, 0x0C, 0x08, 0x0F, 0x0A, 0x12, 0x0C, 0x2A, 0x15};
    // ... 77 7B end the 36th group; the last group is header 00 and the four
    // bytes of samples 126 and 127 (32122 = 7A 7D, 32637 = 7D 7F); then F7.
    const Bytes tail = {0x77, 0x7B, 0x00, 0x7A, 0x7D, 0x7D, 0x7F, 0xF7};
    EXPECT_EQ(Bytes(msg.begin(), msg.begin() + 24), head);
    EXPECT_EQ(Bytes(msg.end() - 8, msg.end()), tail);
}

TEST(SysexPackerTest, LastGroupHoldsOnlyTheLastFourBytes)
{
    CEngine engine;
    engine.m_anWave[126] = -1;
    engine.m_anWave[127] = -1;
    const Bytes msg = Pack(engine, 127);
    EXPECT_EQ(msg[294], 0x0F);  // four header bits, bits 4-6 clear
    EXPECT_EQ(Bytes(msg.begin() + 295, msg.end()), (Bytes{0x7F, 0x7F, 0x7F, 0x7F, 0xF7}));
    EXPECT_EQ(msg[5], 0x7F);  // wave 128 is index 127
}

TEST(SysexPackerTest, OnlyTheEndMarkersHaveTheirTopBitSetForIndicesUpTo127)
{
    CEngine engine;
    for (int i = 0; i < 128; ++i)
        engine.m_anWave[i] = static_cast<std::int16_t>(i * 40503 + 12345);  // assorted bit patterns
    for (int index = 0; index < 128; ++index) {
        const Bytes msg = Pack(engine, index);
        ASSERT_EQ(msg.front(), 0xF0);
        ASSERT_EQ(msg.back(), 0xF7);
        for (std::size_t k = 1; k < 299; ++k)
            ASSERT_LT(msg[k], 0x80) << "index " << index << " offset " << k;
    }
    // Only the low eight bits of the index are written.
    EXPECT_EQ(Pack(engine, 128)[5], 0x80);
    EXPECT_EQ(Pack(engine, 0x160)[5], 0x60);
}

TEST(SysexPackerTest, EveryCallRewritesTheSameBuffer)
{
    CEngine full;
    for (std::int16_t& v : full.m_anWave)
        v = -1;
    CEngine empty;
    std::uint32_t length = 0;
    const std::uint8_t* first = full.PackWavToSysex(96, length);
    const std::uint8_t* second = empty.PackWavToSysex(100, length);
    EXPECT_EQ(first, second);
    EXPECT_EQ(Bytes(second, second + 300), Expected(100));
}

}  // namespace
