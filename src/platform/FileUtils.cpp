#include "platform/FileUtils.h"

#include <fnmatch.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/Diagnostics.h"

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case-insensitive name order; names that differ only in case keep a fixed order by bytes.
bool NameLess(const std::string& A, const std::string& B) {
    const auto cmp = std::lexicographical_compare_three_way(
        A.begin(), A.end(), B.begin(), B.end(),
        [](char x, char y) { return AsciiLower(x) <=> AsciiLower(y); });
    if (cmp != 0) {
        return cmp < 0;
    }
    return A < B;
}

}  // namespace

bool GetFilesFromFolder(const std::string& Folder, const std::string& Mask,
                        std::vector<std::string>* Files) {
    try {
        if (Files == nullptr) {
            return false;
        }
        Files->clear();
        namespace fs = std::filesystem;
        const std::string prefix =
            (!Folder.empty() && Folder.back() == '/') ? Folder : Folder + "/";

        std::error_code error;
        fs::directory_iterator it(prefix, error);
        if (error) {
            return false;
        }
        std::vector<std::string> names;
        for (const fs::directory_iterator end; it != end; it.increment(error)) {
            if (error) {
                break;
            }
            const std::string name = it->path().filename().string();
            if (fnmatch(Mask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) {
                continue;
            }
            std::error_code statusError;
            if (it->is_directory(statusError)) {
                continue;
            }
            names.push_back(name);
        }
        // A failed increment leaves the iterator unusable; what was found so far is kept.
        std::sort(names.begin(), names.end(), NameLess);
        for (const std::string& name : names) {
            Files->push_back(prefix + name);
        }
        return !Files->empty();
    } catch (...) {
        LogMessage("Error in FileUtils::GetFilesFromFolder call...");
        return false;
    }
}
