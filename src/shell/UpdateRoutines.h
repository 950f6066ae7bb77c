#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The update check's routines that need no window: reading the version file, unpacking the
// updater package and starting the updater with administrator rights.

// Reads Buffer (Size bytes) as UTF-16 (little-endian) text ending at the first NUL character or
// at the end of the data, and converts it to a decimal integer with an optional sign. False
// when the text is no integer of 32 bits.
bool ParseVersionText(const void* Buffer, size_t Size, int& Value);

// Whether an archive entry may be extracted: a relative path whose parts stay below the target
// folder (no absolute path, drive or ".." part; "\" counts as a separator) and no symbolic link.
bool IsSafeArchiveEntry(const std::string& Name, bool SymbolicLink);

// How much an archive may unpack to. A package is small; what unpacks to far more than it holds
// is an archive bomb, refused before anything is written.
struct TUnpackLimits {
    uint64_t MaxTotalBytes = uint64_t{1} << 30;   // all entries together
    uint64_t MaxRatio = 200;                      // one entry: unpacked size / packed size
    uint64_t RatioFreeBytes = uint64_t{1} << 20;  // entries up to this size need not keep the ratio
};

// Extracts every entry of the ZIP archive ZipFile into Folder (which ends in "/"), keeping their
// relative paths and replacing files already there. When any entry is unsafe or the archive
// exceeds the limits nothing at all is extracted; a failure part-way removes what this call
// wrote. Files (when given) receives the relative path ("/" separators) of every file written.
// False on any failure.
bool ExtractZipArchive(const std::string& ZipFile, const std::string& Folder,
                       const TUnpackLimits& Limits = {}, std::vector<std::string>* Files = nullptr);

// Creates a new folder only this user can enter (mode 0700), named Prefix followed by six random
// characters; its path with a trailing "/", or "" on failure.
std::string MakePrivateFolder(const std::string& Prefix);

// Removes Folder and everything below it; links are removed, never followed.
void RemoveFolder(const std::string& Folder);

// Starts FileName with administrator rights (pkexec), Parameters as its one argument when not
// empty, and waits until pkexec has handed over to the program (pkexec authorises against this
// process, so it must live until then) or has given up: refused, dismissed, failed, or no
// answer within Wait, after which pkexec is ended. Pump runs about every 50 ms while waiting.
// True when the program was started; Window is not needed here.
bool RunAsAdministrator(void* Window, const std::string& FileName, const std::string& Parameters,
                        const std::function<void()>& Pump = {},
                        std::chrono::milliseconds Wait = std::chrono::seconds(120));
