#pragma once

#include <sys/stat.h>
#include <zip.h>

#include <stdexcept>
#include <string>
#include <vector>

// Writes a small ZIP archive for tests. An entry may be marked as a symbolic link (made on
// Unix, its content being the link's target).
struct ZipEntry {
    std::string Name;
    std::string Content;
    bool SymbolicLink = false;
};

inline void WriteZip(const std::string& path, const std::vector<ZipEntry>& entries) {
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) {
        throw std::runtime_error("cannot create " + path);
    }
    for (const ZipEntry& entry : entries) {
        zip_fileinfo info{};
        const unsigned mode = entry.SymbolicLink ? (S_IFLNK | 0777) : (S_IFREG | 0755);
        info.external_fa = static_cast<uLong>(mode) << 16;
        const uLong madeOnUnix = (3u << 8) | 20u;
        if (zipOpenNewFileInZip4_64(zip, entry.Name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                    Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, 8,
                                    Z_DEFAULT_STRATEGY, nullptr, 0, madeOnUnix, 0, 0) != ZIP_OK ||
            zipWriteInFileInZip(zip, entry.Content.data(),
                                static_cast<unsigned>(entry.Content.size())) != ZIP_OK ||
            zipCloseFileInZip(zip) != ZIP_OK) {
            zipClose(zip, nullptr);
            throw std::runtime_error("cannot write " + entry.Name);
        }
    }
    zipClose(zip, nullptr);
}
