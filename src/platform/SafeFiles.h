#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "platform/UniqueFd.h"

// Files in folders that other programs or people can write to. A name there may have been
// planted as a symbolic link pointing elsewhere, a named pipe or a device; these helpers create
// only new regular files, read only regular files and never block on a pipe.

// Whether anything at all stands at Path, a dangling symbolic link included (false also when
// Path cannot be reached, e.g. its folder is a file).
bool NameTaken(const std::string& Path);

// Creates Path as a new, empty regular file open for writing: an existing name in any form
// (a file, a link, a pipe) is not opened, errno is then EEXIST. The descriptor is
// close-on-exec; invalid on failure, with errno set.
TUniqueFd CreateNewFile(const std::string& Path, mode_t Mode = 0644);

// Opens Path for reading only when it is a regular file reached without a symbolic link; a
// pipe or device is refused at once instead of waiting for a writer. Invalid otherwise.
TUniqueFd OpenRegularFile(const std::string& Path);

// Reads the first MaxBytes (at most) of the regular file Path; false when it is not one or
// cannot be read.
bool ReadRegularFileStart(const std::string& Path, size_t MaxBytes, std::string& Text);

// Replaces Path by a file holding Content, whole or not at all: the content goes to a new
// temporary file beside it, is flushed to the disk and then renamed to Path (a link standing at
// Path is replaced, never followed). On any failure (a full disk, a read-only folder) Path is
// left as it was and no temporary file remains.
bool WriteFileWhole(const std::string& Path, const std::string& Content, mode_t Mode = 0644);
