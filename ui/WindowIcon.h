// The application's icon and desktop entry, for the window manager and the
// desktop: the launcher's icon, the same from the build tree as installed.
#pragma once

// Once the QApplication exists.
void SetApplicationIcon();
