// Whether this process runs in the private /dev/shm of private-shm.sh: the
// only place a test may start JACK, or empty /dev/shm.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

// "" when the mount seen at /dev/shm is the wrapper's own tmpfs, else why not.
inline std::string NoPrivateShm()
{
    std::ifstream mounts("/proc/self/mountinfo");
    std::string top;  // mounts stacked on /dev/shm are listed in the order made
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point;
        fields >> id >> parent >> device >> root >> point;
        if (point == "/dev/shm")
            top = line;
    }
    if (top.find(" - tmpfs qwd-shm ") != std::string::npos)
        return "";
    const char* why = std::getenv("QWD_NO_PRIVATE_SHM");
    return why != nullptr ? why : "this test was not run through tests/support/private-shm.sh";
}

// In a GoogleTest test or SetUp(): ends the test as skipped, saying why,
// unless /dev/shm is private.
#define SKIP_WITHOUT_PRIVATE_SHM()                                                                                     \
    do {                                                                                                               \
        if (const std::string noPrivateShm = NoPrivateShm(); !noPrivateShm.empty())                                    \
            GTEST_SKIP() << "JACK runs only in a /dev/shm of its own: " << noPrivateShm;                               \
    } while (false)
