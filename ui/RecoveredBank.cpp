#include "RecoveredBank.h"

#include "UserDataFolder.h"

#include <filesystem>

namespace {

constexpr char kPrefix[] = "unsaved-bank";

}  // namespace

bool KeepRecoveredBank(const std::vector<SysexMessage>& messages, std::string& path, std::string& error,
                       int signalsAnswered)
{
    if (path.empty()) {
        const std::string folder = UserDataFolder();
        if (folder.empty()) {
            error = "neither XDG_DATA_HOME nor HOME names a folder";
            return false;
        }
        std::error_code made;
        std::filesystem::create_directories(folder, made);
        if (made) {
            error = "cannot make the folder " + folder + ": " + made.message();
            return false;
        }
        path = folder + "/" + StampedSyxName(kPrefix);
    }
    return WriteSyxFile(path, messages, error, signalsAnswered);
}

std::string NewestRecoveredBank()
{
    const std::string folder = UserDataFolder();
    std::error_code failed;
    std::string newest;
    if (folder.empty())
        return newest;
    for (const auto& entry : std::filesystem::directory_iterator(folder, failed)) {
        const std::string name = entry.path().filename().string();
        // The stamp in the name sorts them by time.
        if (name.rfind(kPrefix, 0) == 0 && entry.path().extension() == ".syx" && entry.is_regular_file(failed) &&
            entry.path().string() > newest)
            newest = entry.path().string();
    }
    return newest;
}
