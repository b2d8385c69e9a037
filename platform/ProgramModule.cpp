#include "ProgramModule.h"

#include <climits>

#include <unistd.h>

namespace {

std::string ProgramDirectory()
{
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/'));
}

}  // namespace

std::string ProgramModulePath(const char* fromProgramDirectory, const char* inBuildTree)
{
    const std::string installed = ProgramDirectory() + "/" + fromProgramDirectory;
    if (::access(installed.c_str(), R_OK) == 0)
        return installed;
    return inBuildTree;
}
