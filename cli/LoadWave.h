#pragma once

#include <CLI/CLI.hpp>

#include <string>

// The --fit option of pack and send: fit FILE as 'qwdump fit' does instead
// of loading it with the window's loader.
void AddFitOption(CLI::App& command, std::string& method);

// Loads `path` into s_Engine. With `fitMethod` ("harmonic" or "nearest") any
// audio file is fitted in memory, as 'qwdump fit' does. Without it the
// window's loader reads it: on failure "qwdump: FILE: " and the loader's
// message go to stderr, with the system's reason in parentheses when it gave
// one, and a loaded file that declares other than 16-bit samples gets a
// notice on stderr: the loader reads them as 16-bit pairs. On failure
// returns false.
bool LoadWaveOrReport(const std::string& path, const std::string& fitMethod = "");
