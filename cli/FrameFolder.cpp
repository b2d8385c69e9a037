#include "FrameFolder.h"

#include "MonoWav.h"
#include "OutputFile.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

std::string FrameFileName(std::int64_t number)
{
    char name[32];
    std::snprintf(name, sizeof name, "frame-%03lld.wav", static_cast<long long>(number));
    return name;
}

bool WriteFrameFolder(const std::string& folder, const FittedTable& table, std::string& error)
{
    std::vector<std::string> paths;
    for (const FittedFrame& frame : table.frames) {
        paths.push_back(folder + (folder.back() == '/' ? "" : "/") + FrameFileName(frame.number));
        struct stat info;
        if (::lstat(paths.back().c_str(), &info) == 0) {
            error = paths.back() + " exists already; nothing written";
            return false;
        }
    }
    const bool created = ::mkdir(folder.c_str(), 0777) == 0;
    if (!created && errno != EEXIST) {
        error = "can't create the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::string bytes = MonoWavBytes(table.frames[i].samples, 128);
        if (!WriteOutputFile(paths[i], bytes.data(), bytes.size(), error)) {
            error = paths[i] + ": " + error + "; nothing kept";
            while (i-- > 0)
                ::unlink(paths[i].c_str());
            if (created)
                ::rmdir(folder.c_str());
            return false;
        }
    }
    return true;
}
