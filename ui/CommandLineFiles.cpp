#include "CommandLineFiles.h"

#include <climits>
#include <cstring>

#include <unistd.h>

QByteArray CommandLineUriList(int argc, char* argv[])
{
    QByteArray list;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (options && std::strcmp(argument, "--") == 0) {
            options = false;
            continue;
        }
        if ((options && argument[0] == '-') || argument[0] == '\0')
            continue;
        QByteArray path(argument);
        if (path[0] != '/') {
            char folder[PATH_MAX];
            if (::getcwd(folder, sizeof folder) == nullptr)
                continue;
            path.prepend(QByteArray(folder) + (std::strcmp(folder, "/") == 0 ? "" : "/"));
        }
        list += "file://" + path.toPercentEncoding("/") + "\r\n";
    }
    return list;
}
