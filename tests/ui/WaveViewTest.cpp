// What the wave view paints, pixel by pixel. At 256 x 128 pixels a sample
// is two pixels wide; the zero line lies at y = 128 * 32768 / 65535, just
// below 64, so pixel row 63 is above it and row 64 below.

#include "Engine.h"
#include "WaveView.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace {

class WaveViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        s_Engine = CEngine();
        view.setFixedSize(256, 128);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // Puts a wave straight into the engine and returns the colours of the
    // given pixels: B the blue background, K black, R red.
    std::string Paint(int sample(int), bool fitted, std::initializer_list<QPoint> pixels, bool loaded = true)
    {
        for (int i = 0; i < 128; ++i)
            s_Engine.m_anWave[i] = static_cast<std::int16_t>(sample(i));
        s_Engine.m_bLoaded = loaded ? 1 : 0;
        s_Engine.m_bResampled = fitted ? 1 : 0;
        image = view.grab().toImage();
        std::string colours;
        for (const QPoint& p : pixels) {
            const QColor c = image.pixelColor(p);
            colours += c == QColor(0, 133, 255) ? 'B' : c == Qt::black ? 'K' : c == Qt::red ? 'R' : '?';
        }
        return colours;
    }
    int NotBlue() const
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y) != QColor(0, 133, 255);
        return count;
    }

    WaveView view;
    QImage image;
};

TEST_F(WaveViewTest, BarsRiseAboveAndHangBelowTheZeroLineTwoSamplesWide)
{
    // Samples 0-63 at +16384, a quarter of the height above the line: rows
    // 33 to 63; samples 64-127 at -16384: rows 64 to 94.
    EXPECT_EQ(Paint([](int i) { return i < 64 ? 16384 : -16384; }, false,
                    {{0, 30}, {0, 33}, {124, 63}, {124, 64}, {130, 63}, {130, 64}, {254, 94}, {254, 97}}),
              "BKKBBKKB");
    // Sample 63's bar also covers the column of 64; the last reaches the edge.
    EXPECT_EQ(Paint([](int i) { return i < 64 ? 16384 : -16384; }, false, {{128, 63}, {255, 64}}), "KK");
    // The extremes reach the top and the bottom.
    EXPECT_EQ(Paint([](int i) { return i == 10 ? 32767 : i == 40 ? -32768 : 0; }, false,
                    {{18, 0}, {20, 0}, {22, 0}, {24, 0}, {78, 127}, {80, 127}, {82, 127}, {84, 127}}),
              "BKKBBKKB");
}

TEST_F(WaveViewTest, RedMarkShowsOnlyForAFittedWaveAndNothingWhileNoneIsLoaded)
{
    // The mark spans x 3-5 and y 27000-29000: pixel columns 6-9, rows 7-10.
    EXPECT_EQ(Paint([](int) { return 0; }, true, {{6, 7}, {9, 10}, {5, 9}, {10, 9}, {7, 6}, {7, 11}}), "RRBBBB");
    EXPECT_EQ(NotBlue(), 16);
    // The same all-zero wave, taken sample for sample: bars of height zero
    // draw nothing.
    Paint([](int) { return 0; }, false, {});
    EXPECT_EQ(NotBlue(), 0);
    // Over a bar, the mark is drawn last.
    EXPECT_EQ(Paint([](int) { return 32767; }, true, {{7, 9}, {12, 9}}), "RK");
    // A wave left over from a failed load is not drawn.
    Paint([](int) { return 20000; }, true, {}, false);
    EXPECT_EQ(NotBlue(), 0);
}

}  // namespace
