#pragma once

#include <cstddef>
#include <string>

// The update check's routines that need no window: reading the version file, unpacking the
// updater package and starting the updater with administrator rights.

// Reads Buffer (Size bytes) as UTF-16 (little-endian) text ending at the first NUL character or
// at the end of the data, and converts it to a decimal integer with an optional sign. False
// when the text is no integer of 32 bits.
bool ParseVersionText(const void* Buffer, size_t Size, int& Value);

// Whether an archive entry may be extracted: a relative path whose parts stay below the target
// folder (no absolute path, drive or ".." part; "\" counts as a separator) and no symbolic link.
bool IsSafeArchiveEntry(const std::string& Name, bool SymbolicLink);

// Extracts every entry of the ZIP archive ZipFile into Folder (which ends in "/"), keeping their
// relative paths and replacing files already there. When any entry is unsafe nothing at all is
// extracted. False on any failure.
bool ExtractZipArchive(const std::string& ZipFile, const std::string& Folder);

// Starts FileName with administrator rights (pkexec), Parameters as its one argument when not
// empty. True when the program was started; Window is not needed here.
bool RunAsAdministrator(void* Window, const std::string& FileName, const std::string& Parameters);
