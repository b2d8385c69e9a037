#pragma once

#include <string>

// Loads `path` into s_Engine with the window's loader. On failure
// "qwdump: FILE: " and the loader's message go to stderr, with the system's
// reason in parentheses when it gave one, and false is returned. A loaded
// file that declares other than 16-bit samples gets a notice on stderr: the
// loader reads them as 16-bit pairs.
bool LoadWaveOrReport(const std::string& path);
