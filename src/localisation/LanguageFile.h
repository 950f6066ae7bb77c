#pragma once

#include <string>

#include "localisation/LanguageList.h"

// Language files (*.lng): line 0 "##LanguageName", line 1 the language's name, line 2 empty,
// then blocks separated by one empty line each. A block is a key line ("##" + the English text
// of an entry) followed by the value lines up to the next empty line; several value lines are
// joined with CR LF.

// Loads FileName into CurrentTexts: the English texts, then entry 0 := the language's name and
// every block the file translates. An empty FileName loads the English texts. Returns false,
// leaving CurrentTexts unchanged, when the file does not exist or its header is wrong; a file
// that cannot be read or has fewer than three lines also logs
// "Error in Tandrel::LoadLanguageFile call...". Each block whose key is no English text, or whose
// value is empty, logs "Can't find default "<key>" language string." and changes nothing.
bool LoadLanguageFile(const std::string& FileName);

// Clears LanguageList and adds one entry (line 1 of the file, full path) for every "*.lng" file
// of Folder whose line 1 is not empty, in the order GetFilesFromFolder lists them. A file that
// cannot be read or has fewer than two lines is skipped with a line naming it, and the listing
// goes on. Returns false when there is no list or Folder has no "*.lng" file; true otherwise,
// even when every file was skipped (the list is then empty).
bool GenerateLanguageFileList(const std::string& Folder, TLanguageList* LanguageList);
