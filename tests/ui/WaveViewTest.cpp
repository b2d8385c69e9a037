// What the wave view paints, pixel by pixel. The view is 256 x 128 pixels:
// two pixels per sample; the zero line lies at y = 128 * 32768 / 65535, just
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

    // Puts a wave straight into the engine and returns what the view paints.
    QImage Paint(int sample(int), bool fitted, bool loaded = true)
    {
        for (int i = 0; i < 128; ++i)
            s_Engine.m_anWave[i] = static_cast<std::int16_t>(sample(i));
        s_Engine.m_bLoaded = loaded ? 1 : 0;
        s_Engine.m_bResampled = fitted ? 1 : 0;
        return view.grab().toImage();
    }

    WaveView view;
};

// The colours of the given pixels: B the blue background, K black, R red.
std::string At(const QImage& image, std::initializer_list<QPoint> pixels)
{
    std::string colours;
    for (const QPoint& p : pixels) {
        const QColor c = image.pixelColor(p);
        colours += c == WaveView::kBackground ? 'B' : c == QColor(0, 0, 0) ? 'K' : c == QColor(255, 0, 0) ? 'R' : '?';
    }
    return colours;
}

int NotBlue(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) != WaveView::kBackground;
    return count;
}

TEST_F(WaveViewTest, IsPlainBlueWhileNothingIsLoaded)
{
    EXPECT_EQ(WaveView::kBackground, QColor::fromRgbF(0.0f, 133.0f / 255.0f, 1.0f));
    const QImage empty = view.grab().toImage();
    EXPECT_EQ(empty.size(), QSize(256, 128));
    EXPECT_EQ(NotBlue(empty), 0);
    // A wave left over from a failed load is not drawn either.
    EXPECT_EQ(NotBlue(Paint([](int) { return 20000; }, true, false)), 0);
}

TEST_F(WaveViewTest, BarsRiseAboveAndHangBelowTheZeroLineTwoSamplesWide)
{
    // Samples 0-63 at +16384, a quarter of the height above the line: rows
    // 33 to 63; samples 64-127 at -16384: rows 64 to 94.
    QImage image = Paint([](int i) { return i < 64 ? 16384 : -16384; }, false);
    for (const int x : {0, 40, 124})  // samples 0, 20, 62
        EXPECT_EQ(At(image, {{x, 30}, {x, 33}, {x, 63}, {x, 64}}), "BKKB") << x;
    for (const int x : {130, 200, 254})  // samples 65, 100, 127
        EXPECT_EQ(At(image, {{x, 63}, {x, 64}, {x, 94}, {x, 97}}), "BKKB") << x;
    // Sample 63's bar also covers the column of 64; the last bar reaches the
    // right edge.
    EXPECT_EQ(At(image, {{128, 63}, {255, 64}}), "KK");

    // The extremes reach the top and the bottom.
    image = Paint([](int i) { return i == 10 ? 32767 : i == 40 ? -32768 : 0; }, false);
    EXPECT_EQ(At(image, {{18, 0}, {20, 0}, {22, 0}, {24, 0}}), "BKKB");
    EXPECT_EQ(At(image, {{22, 127}, {78, 127}, {80, 127}, {82, 127}, {84, 127}}), "BBKKB");
}

TEST_F(WaveViewTest, RedMarkShowsOnlyForAFittedWave)
{
    // The mark spans x 3-5 and y 27000-29000: pixel columns 6-9 and rows
    // 7-10.
    QImage image = Paint([](int) { return 0; }, true);
    EXPECT_EQ(At(image, {{6, 7}, {9, 10}, {5, 9}, {10, 9}, {7, 6}, {7, 11}}), "RRBBBB");
    EXPECT_EQ(NotBlue(image), 16);
    // The same all-zero wave, taken sample for sample: blue only, as bars of
    // height zero draw nothing.
    EXPECT_EQ(NotBlue(Paint([](int) { return 0; }, false)), 0);
    // Over a bar, the mark is drawn last.
    image = Paint([](int) { return 32767; }, true);
    EXPECT_EQ(At(image, {{7, 9}, {12, 9}}), "RK");
}

}  // namespace
