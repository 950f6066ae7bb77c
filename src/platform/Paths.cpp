#include "platform/Paths.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <unistd.h>

#include "platform/DebugOutput.h"

namespace fs = std::filesystem;

std::string IncludeTrailingPathDelimiter(const std::string& Path) {
    if (Path.empty() || Path.back() == '/') {
        return Path;
    }
    return Path + "/";
}

bool GetTmpPath(std::string& Path) {
    Path.clear();
    try {
        const char* tmp = std::getenv("TMPDIR");
        Path = IncludeTrailingPathDelimiter(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp");
        return true;
    } catch (...) {
        Path.clear();
        OutputDebugString("Error in GetTmpPath call...");
        return false;
    }
}

std::string GetCommonAppDataPath() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && *dataHome == '/') {
        return IncludeTrailingPathDelimiter(dataHome);
    }
    const char* home = std::getenv("HOME");
    const std::string base = home != nullptr && *home != '\0' ? home : "/tmp";
    return IncludeTrailingPathDelimiter(base) + ".local/share/";
}

std::string GetExecutableFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error || exe.empty()) {
        return IncludeTrailingPathDelimiter(fs::current_path(error).string());
    }
    return IncludeTrailingPathDelimiter(exe.parent_path().string());
}

std::string GetResourceFolder(const std::string& Name) {
    std::error_code error;
    const std::string besideExecutable = GetExecutableFolder() + Name + "/";
    if (fs::is_directory(besideExecutable, error)) {
        return besideExecutable;
    }
    // <prefix>/bin/tandrel -> <prefix>/share/tandrel/<Name>/
    const fs::path prefix = fs::path(GetExecutableFolder()).parent_path().parent_path();
    const std::string installed = (prefix / "share" / "tandrel" / Name).string() + "/";
    if (fs::is_directory(installed, error)) {
        return installed;
    }
    return besideExecutable;
}

bool ForceFolder(const std::string& Folder) {
    std::error_code error;
    const std::filesystem::path path(Folder.empty() ? std::string(".") : Folder);
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}
