#pragma once

#include <string>
#include <vector>

// Fills Files with the full path of every entry of Folder whose name matches Mask ("*.lng") and
// that is not a directory. Names match case-insensitively, as on a Windows file system, and are
// listed sorted by name without regard to case, so callers see a stable order. "/" is put
// between Folder and the name only when Folder does not already end in one.
// Returns false when Files is null, when nothing matches or when the folder does not exist or
// cannot be read.
bool GetFilesFromFolder(const std::string& Folder, const std::string& Mask,
                        std::vector<std::string>* Files);
