#include "WindowIcon.h"

#include "WindowIconPixels.inc"

#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>

void SetApplicationIcon()
{
    // Pixels, not a file: no image decoder is looked for at start-up.
    QGuiApplication::setWindowIcon(QIcon(QPixmap::fromImage(
        QImage(reinterpret_cast<const uchar*>(kIconPixels), kIconSize, kIconSize, QImage::Format_ARGB32))));
    // Where Wayland finds the entry, and with it the icon, by name.
    QGuiApplication::setDesktopFileName(QStringLiteral("quarven-wave-dump"));
}
