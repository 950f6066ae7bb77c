#pragma once

#include <memory>
#include <string>
#include <vector>

// One language file as the language menu offers it.
struct TLanguageFile {
    std::string LanguageName;      // as shown in the menu
    std::string LanguageFileName;  // full path of the file
};
using PLanguageFile = TLanguageFile*;

// The language files found in the language folder, in menu order. The list owns its records.
class TLanguageList {
public:
    TLanguageList() = default;
    TLanguageList(const TLanguageList&) = delete;
    TLanguageList& operator=(const TLanguageList&) = delete;
    ~TLanguageList();

    // Appends a new record with both strings; returns its index, or -1 when it cannot be added.
    int Add(const std::string& LanguageName, const std::string& LanguageFileName);

    // The record at Index, or nullptr when Index is out of range.
    PLanguageFile Get(int Index) const noexcept;
    PLanguageFile Items(int Index) const noexcept { return Get(Index); }

    int Count() const noexcept { return static_cast<int>(FItems.size()); }

    // Frees every record, last to first, and empties the list.
    void Clear() noexcept;

private:
    std::vector<std::unique_ptr<TLanguageFile>> FItems;
};
