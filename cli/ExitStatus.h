// qwdump's exit statuses; scripts rely on them.
#pragma once

enum ExitStatus : int {
    kExitOk = 0,
    kExitFileError = 1,   // the WAV file did not load, or the output could not be written
    kExitUsage = 2,       // missing, unknown or out-of-range arguments
};
