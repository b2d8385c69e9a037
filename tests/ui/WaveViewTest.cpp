// What the wave view paints. At 256 x 128 pixels a sample is two pixels
// wide; the zero line lies at y = 128 * 32768 / 65535, just below 64.

#include "WaveView.h"
#include "Engine.h"

#include <QImage>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// The colours of the given pixels of the view painting `sample(i)`: B the
// blue background, K black, R red.
std::string Paint(int sample(int), bool loaded, bool fitted, std::initializer_list<QPoint> pixels)
{
    WaveView view;
    view.setFixedSize(256, 128);
    for (int i = 0; i < 128; ++i)
        s_Engine.m_anWave[i] = static_cast<std::int16_t>(sample(i));
    s_Engine.m_bLoaded = loaded;
    s_Engine.m_bResampled = fitted;
    const QImage image = view.grab().toImage();
    std::string colours;
    for (const QPoint& p : pixels) {
        const QColor c = image.pixelColor(p);
        colours += c == QColor(0, 133, 255) ? 'B' : c == Qt::black ? 'K' : c == Qt::red ? 'R' : '?';
    }
    return colours;
}

TEST(WaveViewTest, BarsTwoSamplesWideFromTheZeroLineAndARedMarkOnlyForAFittedWave)
{
    // +16384 is a quarter of the height above the line: rows 33 to 63 for
    // samples 0-63; -16384 for samples 64-127: rows 64 to 94. Sample 63's bar
    // also covers the column of 64.
    const auto halves = [](int i) { return i < 64 ? 16384 : -16384; };
    EXPECT_EQ(Paint(halves, true, false,
                    {{0, 30}, {0, 33}, {124, 63}, {124, 64}, {128, 63}, {130, 64}, {254, 94}, {254, 97}, {7, 9}}),
              "BKKBKKKBB");
    // The mark spans x 3-5 and y 27000-29000, pixel columns 6-9 and rows
    // 7-10, drawn over the bars.
    EXPECT_EQ(Paint([](int) { return 32767; }, true, true, {{6, 7}, {9, 10}, {5, 9}, {10, 9}, {7, 6}, {7, 11}}),
              "RRKKKK");
    EXPECT_EQ(Paint([](int) { return 0; }, true, true, {{6, 7}, {5, 9}, {10, 9}, {7, 6}, {7, 11}}), "RBBBB");
    // Nothing while no wave is loaded, not even one left by a failed load.
    EXPECT_EQ(Paint(halves, false, true, {{0, 33}, {254, 94}, {6, 7}}), "BBB");
}

}  // namespace
