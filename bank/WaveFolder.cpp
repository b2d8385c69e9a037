#include "WaveFolder.h"

#include "OutputSet.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder and those of its parents that are missing, deepest first.
std::vector<std::string> MissingFolders(const std::string& path)
{
    std::vector<std::string> missing;
    std::filesystem::path folder = std::filesystem::path(path).lexically_normal();
    if (!folder.has_filename())
        folder = folder.parent_path();
    for (; !folder.empty(); folder = folder.parent_path()) {
        struct stat info;
        if (::lstat(folder.c_str(), &info) == 0 || errno != ENOENT)
            break;
        missing.push_back(folder.string());
    }
    return missing;
}

// Every file, or (its temporary files gone) none.
bool WriteSet(const std::vector<WaveFile>& files, std::string& error)
{
    OutputSet set;
    for (const WaveFile& file : files) {
        if (!set.Add(file.path, file.bytes, error)) {
            error = "cannot write " + file.path + ": " + error;
            return false;
        }
    }
    return set.PutInPlace(error);
}

}  // namespace

bool WriteWaveFolder(const std::string& folder, const std::vector<WaveFile>& files, bool force, std::string& error)
{
    for (const WaveFile& file : files) {
        struct stat info;
        const bool exists = ::lstat(file.path.c_str(), &info) == 0;
        // A folder that is not one is said so when it is to be made.
        if (!exists && errno != ENOENT && errno != ENOTDIR) {
            error = "cannot look at " + file.path + ": " + std::strerror(errno) + "; nothing written";
            return false;
        }
        if (exists && !force) {
            error = file.path + " exists; nothing written (--force replaces it)";
            return false;
        }
    }
    const std::vector<std::string> made = MissingFolders(folder);
    std::error_code failed;
    if (!std::filesystem::create_directories(folder, failed) && failed) {
        error = "cannot make the folder " + folder + ": " + failed.message();
        return false;
    }
    if (!WriteSet(files, error)) {
        error += "; nothing written";
        for (const std::string& missing : made)
            ::rmdir(missing.c_str());
        return false;
    }
    return true;
}
