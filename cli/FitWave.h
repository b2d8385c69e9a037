// Reading and fitting any audio file in memory, as one cycle or as a
// wavetable, through the audio fit module (opened on first use): the one
// path of qwdump fit and of pack and send with --fit.
#pragma once

#include "FrameList.h"
#include "WaveFit.h"

#include <CLI/CLI.hpp>

#include <map>
#include <string>

// The methods by the names the options take.
inline const std::map<std::string, FitMethod> kFitMethods = {
    {"harmonic", FitMethod::kHarmonic},
    {"nearest", FitMethod::kNearest},
};

// --frame-size N and --frames LIST, into `request`: how a file splits into
// frames, and which of them are taken.
void AddFrameOptions(CLI::App& command, FitRequest& request);

// The --fit METHOD option of pack and send, with the frame options, which
// need it: each file is fitted as 'qwdump fit' does instead of loaded with
// the window's loader.
void AddFitOptions(CLI::App& command, std::string& method, FitRequest& request);

// What pack's or send's --fit METHOD asks for, stopped by Ctrl-C between
// its pieces: null without it.
const FitRequest* FitOption(const std::string& method, FitRequest& request);

// Fits `path` into `table` as FitFile does, stopped by Ctrl-C between its
// pieces. On failure writes one line, "qwdump: PATH: reason", to stderr and
// returns false; notices (a table scaled down, the frame size a file fitted
// as one cycle looks like a table of) go there too.
bool FitTableOrReport(const std::string& path, const FitRequest& request, FittedTable& table);
