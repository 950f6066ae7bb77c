#pragma once

#include <string>

// Folder stand-ins. Every folder returned ends in "/".

// The temporary folder: $TMPDIR, else /tmp/. Empty (and "Error in GetTmpPath call..." written
// to the debug output) only when nothing usable is found.
bool GetTmpPath(std::string& Path);

// The per-user data folder under which recordings live: $XDG_DATA_HOME, else ~/.local/share/.
std::string GetCommonAppDataPath();

// The folder of the running executable.
std::string GetExecutableFolder();

// A resource folder such as "Language" or "SoundAlarms": beside the executable when it exists
// there, else in the installed data folder (<prefix>/share/tandrel/), else beside the
// executable anyway (so callers get their usual "not found" paths).
std::string GetResourceFolder(const std::string& Name);

// Adds a trailing "/" when missing (an empty path stays empty).
std::string IncludeTrailingPathDelimiter(const std::string& Path);

// Creates Folder with every missing level; true when it stands as a folder afterwards (an empty
// name is the current folder).
bool ForceFolder(const std::string& Folder);
