// What qwdump tells about a WAV file beyond the loader's verdict: the
// system's reason when the loader could not open it, and a sample size the
// loader does not heed.
#pragma once

#include <string>

// Why `path` can't be opened as a WAV file: the system's error text, or what
// it is when not a regular file; "" when it can be opened after all.
std::string WhyNotOpened(const std::string& path);

// The bits per sample that the format chunk of the WAV file at `path`
// declares, or -1 when it can't be read.
int DeclaredBitsPerSample(const std::string& path);
