// Where a shared module that ships with the programs lives. Modules keep
// heavy libraries (ALSA, JACK, libsndfile, FFTW) out of every start-up: a
// program opens one with dlopen only when it needs it.
#pragma once

#include <string>

// Installed, a module sits at `fromProgramDirectory`, relative to the
// directory of the running program; in the build tree, at `inBuildTree`.
// The path is worked out here rather than left to the run path, which a
// dlopen interposed by a sanitizer does not see.
std::string ProgramModulePath(const char* fromProgramDirectory, const char* inBuildTree);
