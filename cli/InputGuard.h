#pragma once

#include "WaveFolder.h"

#include <string>
#include <vector>

// True, said on stderr, when one of `files` would land on one of `inputs`
// (through links too): --force replaces what exists, never what is read.
bool WouldReplaceAnInput(const std::vector<WaveFile>& files, const std::vector<std::string>& inputs);
