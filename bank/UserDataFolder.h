// Where both programs keep what they must not lose but could not write
// where asked: $XDG_DATA_HOME/quarven-wave-dump, else
// ~/.local/share/quarven-wave-dump.
#pragma once

#include <string>

// The folder's path, not made yet; "" when neither XDG_DATA_HOME nor HOME is
// an absolute path.
std::string UserDataFolder();

// A name no other run of either program takes: PREFIX-YYYYmmdd-HHMMSS-PID.syx,
// in an order that sorts by time.
std::string StampedSyxName(const char* prefix);
