// At build time: the window's icon, a PNG drawn from the launcher's SVG, as
// the ARGB32 pixels main.cpp hands Qt, so that no image decoder is looked
// for while the window starts (that costs a millisecond; these pixels, 0.03).
//
//   icon_pixels IN.png OUT.inc

#include <QImage>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: icon_pixels IN.png OUT.inc\n");
        return 2;
    }
    const QImage image = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull() || image.width() != image.height()) {
        std::fprintf(stderr, "icon_pixels: %s: not a square image\n", argv[1]);
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "w");
    if (out == nullptr) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(out, "// Made at build time by icon_pixels: the window's icon, ARGB32.\n");
    std::fprintf(out, "constexpr int kIconSize = %d;\nconstexpr unsigned kIconPixels[] = {\n", image.width());
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            std::fprintf(out, "0x%08x,%s", row[x], x % 8 == 7 ? "\n" : " ");
    }
    std::fprintf(out, "};\n");
    return std::fclose(out) == 0 ? 0 : 1;
}
