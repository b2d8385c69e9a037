// Reading and fitting any audio file in memory, through the audio fit module
// (opened on first use): the one path of qwdump fit and of pack and send
// with --fit.
#pragma once

#include "WaveFit.h"

#include <map>
#include <string>

// The methods by the names the options take.
inline const std::map<std::string, FitMethod> kFitMethods = {
    {"harmonic", FitMethod::kHarmonic},
    {"nearest", FitMethod::kNearest},
};

// Fits `path` into `wave`. On failure writes one line, "qwdump: PATH:
// reason", to stderr and returns false. A wave scaled down to fit the 16-bit
// range is reported on stderr too.
bool FitWaveOrReport(const std::string& path, const FitRequest& request, FittedWave& wave);
