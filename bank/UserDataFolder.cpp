#include "UserDataFolder.h"

#include <cstdlib>
#include <ctime>

#include <unistd.h>

std::string UserDataFolder()
{
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (data != nullptr && *data == '/')
        return std::string(data) + "/quarven-wave-dump";
    if (home != nullptr && *home == '/')
        return std::string(home) + "/.local/share/quarven-wave-dump";
    return std::string();
}

std::string StampedSyxName(const char* prefix)
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    return std::string(prefix) + "-" + stamp + "-" + std::to_string(::getpid()) + ".syx";
}
