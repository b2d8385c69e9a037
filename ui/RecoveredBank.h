// A bank the window had no chance to ask about: when a logout or a shutdown
// (SIGTERM, SIGHUP) ends it with changes not saved, they are kept as a .syx
// file in the user's data folder, and the next start offers it until it is
// saved or discarded.
#pragma once

#include "SyxFile.h"

#include <string>
#include <vector>

// Writes `messages` to `path`, or to a new file in the data folder when
// `path` is empty, setting `path` to where they went. The signals that ended
// the window, `signalsAnswered` of them, are answered by this write. On
// failure returns false with `error` saying why.
bool KeepRecoveredBank(const std::vector<SysexMessage>& messages, std::string& path, std::string& error,
                       int signalsAnswered);

// The newest bank kept so, or "" when there is none.
std::string NewestRecoveredBank();
