#pragma once

#include <string>

// Loads `path` into s_Engine. On failure writes "qwdump: FILE: " and the
// loader's message to stderr, with the system's reason in parentheses when it
// gave one, and returns false. A loaded file that declares other than 16-bit
// samples gets a notice on stderr: the loader reads them as 16-bit pairs.
bool LoadWaveOrReport(const std::string& path);
