// Runs programs for tests: to completion with their output captured.
#pragma once

#include <string>
#include <vector>

struct ProcessResult
{
    int exitStatus = -1;  // the exit status, or -1 when killed by a signal
    std::string out;
    std::string err;
};

// Runs argv[0] with `argv`, stdin from /dev/null, and waits for it. Output
// goes through temporary files so that large output can't fill a pipe.
ProcessResult RunProcess(const std::vector<std::string>& argv);
