// What the wave view paints, pixel by pixel. The view is 256 x 128 pixels:
// two pixels per sample; the zero line lies at y = 128 * 32768 / 65535, just
// below 64, so pixel row 63 is above it and row 64 below.

#include "Engine.h"
#include "WaveView.h"

#include <QColor>
#include <QImage>
#include <QTest>

#include <gtest/gtest.h>


namespace {

const QColor kBlue = WaveView::kBackground;
const QColor kBlack(0, 0, 0);
const QColor kRed(255, 0, 0);

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

    // Loads a wave straight into the engine.
    void Show(int sample(int), bool fitted)
    {
        for (int i = 0; i < 128; ++i)
            s_Engine.m_anWave[i] = static_cast<std::int16_t>(sample(i));
        s_Engine.m_bLoaded = 1;
        s_Engine.m_bResampled = fitted ? 1 : 0;
    }

    QImage Painted() { return view.grab().toImage(); }

    // The colour of the column of sample i at pixel row y.
    QColor At(const QImage& image, int sample, int y) { return image.pixelColor(2 * sample, y); }

    static bool Only(const QImage& image, const QColor& colour)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != colour)
                    return false;
        return true;
    }

    WaveView view;
};

TEST_F(WaveViewTest, IsPlainBlueWhileNothingIsLoaded)
{
    const QImage image = Painted();
    EXPECT_EQ(image.size(), QSize(256, 128));
    EXPECT_TRUE(Only(image, kBlue));
    EXPECT_EQ(kBlue, QColor::fromRgbF(0.0f, 133.0f / 255.0f, 1.0f));

    // A wave left over from a failed load is not drawn either.
    Show([](int) { return 20000; }, true);
    s_Engine.m_bLoaded = 0;
    EXPECT_TRUE(Only(Painted(), kBlue));
}

TEST_F(WaveViewTest, BarsRiseAboveAndHangBelowTheZeroLine)
{
    // Samples 0-63 at +16384 (a quarter of the height above the line),
    // 64-127 at -16384.
    Show([](int i) { return i < 64 ? 16384 : -16384; }, false);
    const QImage image = Painted();
    for (const int i : {0, 20, 62}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(At(image, i, 63), kBlack);
        EXPECT_EQ(At(image, i, 33), kBlack);
        EXPECT_EQ(At(image, i, 30), kBlue);
        EXPECT_EQ(At(image, i, 64), kBlue);
    }
    EXPECT_EQ(At(image, 64, 63), kBlack) << "sample 63's bar also covers the column of 64";
    for (const int i : {65, 100, 127}) {
        SCOPED_TRACE(i);
        EXPECT_EQ(At(image, i, 64), kBlack);
        EXPECT_EQ(At(image, i, 94), kBlack);
        EXPECT_EQ(At(image, i, 97), kBlue);
        EXPECT_EQ(At(image, i, 63), kBlue);
    }
    EXPECT_EQ(image.pixelColor(255, 64), kBlack) << "the last bar reaches the right edge";
}

TEST_F(WaveViewTest, EachBarIsTwoSamplesWideAndTheExtremesReachTheEdges)
{
    Show([](int i) { return i == 10 ? 32767 : i == 40 ? -32768 : 0; }, false);
    const QImage image = Painted();
    EXPECT_EQ(At(image, 10, 0), kBlack) << "32767 reaches the top";
    EXPECT_EQ(At(image, 11, 0), kBlack) << "and covers the next sample's column";
    EXPECT_EQ(At(image, 12, 0), kBlue);
    EXPECT_EQ(At(image, 9, 0), kBlue);
    EXPECT_EQ(At(image, 40, 127), kBlack) << "-32768 reaches the bottom";
    EXPECT_EQ(At(image, 41, 127), kBlack);
    EXPECT_EQ(At(image, 42, 127), kBlue);
    EXPECT_EQ(At(image, 11, 127), kBlue);
}

TEST_F(WaveViewTest, RedMarkShowsOnlyForAFittedWave)
{
    // The mark spans x 3-5 and y 27000-29000: pixel columns 6-9 and rows
    // 7-10.
    Show([](int) { return 0; }, true);
    QImage image = Painted();
    EXPECT_EQ(image.pixelColor(6, 7), kRed);
    EXPECT_EQ(image.pixelColor(9, 10), kRed);
    EXPECT_EQ(image.pixelColor(5, 9), kBlue);
    EXPECT_EQ(image.pixelColor(10, 9), kBlue);
    EXPECT_EQ(image.pixelColor(7, 6), kBlue);
    EXPECT_EQ(image.pixelColor(7, 11), kBlue);

    // The same all-zero wave, taken sample for sample: blue only, as bars of
    // height zero draw nothing.
    Show([](int) { return 0; }, false);
    EXPECT_TRUE(Only(Painted(), kBlue));

    // Over a bar, the mark is drawn last.
    Show([](int) { return 32767; }, true);
    image = Painted();
    EXPECT_EQ(image.pixelColor(7, 9), kRed);
    EXPECT_EQ(image.pixelColor(12, 9), kBlack);
}

}  // namespace
