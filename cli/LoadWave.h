#pragma once

#include <CLI/CLI.hpp>

#include <string>

// The --fit option of pack and send: fit FILE as 'qwdump fit' does instead
// of loading it with the window's loader.
void AddFitOption(CLI::App& command, std::string& method);

// Loads `path` into s_Engine. Without `fitMethod` the window's loader reads
// it, and on failure its message goes, alone, to stderr. With one ("harmonic"
// or "nearest") any audio file is fitted in memory, as 'qwdump fit' does. On
// failure returns false.
bool LoadWaveOrReport(const std::string& path, const std::string& fitMethod = "");
