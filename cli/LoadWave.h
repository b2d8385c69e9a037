#pragma once

#include <string>

// Loads `path` into s_Engine. On failure writes the loader's message, alone,
// to stderr and returns false.
bool LoadWaveOrReport(const std::string& path);
