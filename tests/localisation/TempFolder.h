#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>

// A fresh folder under the temporary directory, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tandrel-test-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        FPath = pattern;
    }
    ~TempFolder() {
        std::error_code error;
        std::filesystem::permissions(FPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(FPath, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder's path, without a trailing "/".
    const std::string& Path() const { return FPath; }

    // Writes Bytes exactly as given to Name inside the folder; returns the file's full path.
    std::string Write(const std::string& Name, std::string_view Bytes) const {
        const std::string file = FPath + "/" + Name;
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + file);
        }
        return file;
    }

    std::string MakeFolder(const std::string& Name) const {
        const std::string folder = FPath + "/" + Name;
        std::filesystem::create_directories(folder);
        return folder;
    }

private:
    std::string FPath;
};
