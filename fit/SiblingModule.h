// The modules that ship beside the fit module, which it opens only when a
// file needs them: libsndfile's reader (any file but a plain WAV file) and
// FFTW's transform (long tables of lengths it handles well).
#pragma once

#include "AudioSource.h"

#include <cstddef>
#include <memory>
#include <string>

// SndfileSource.cpp: opens the regular file `fd`, from its start, without
// ever closing it; on failure writes why into `error`, a buffer of
// `errorSize` bytes.
using OpenSndfileSourceFn = bool (*)(int fd, std::unique_ptr<AudioSource>& source, char* error, std::size_t errorSize);
// FftwHarmonics.cpp: bins 0 to 63 of the discrete Fourier transform of the
// `n` samples of `cycle` (X_k = sum of x_j e^(-2 pi i j k / n)); zero past n/2.
using FftwHarmonicsFn = bool (*)(const double* cycle, std::size_t n, double* re, double* im);

// The entry `symbol` of the module `fileName` in the fit module's own
// directory, opened on first use and kept for the life of the process; null
// with `error` set when it can't be had.
void* SiblingEntry(const char* fileName, const char* symbol, std::string& error);
