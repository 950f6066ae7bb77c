#include "localisation/LanguageList.h"

#include "platform/Diagnostics.h"

TLanguageList::~TLanguageList() {
    Clear();
}

int TLanguageList::Add(const std::string& LanguageName, const std::string& LanguageFileName) {
    try {
        FItems.push_back(
            std::make_unique<TLanguageFile>(TLanguageFile{LanguageName, LanguageFileName}));
        return Count() - 1;
    } catch (...) {
        LogMessage("Error in TLanguageList.Add call...");
        return -1;
    }
}

PLanguageFile TLanguageList::Get(int Index) const noexcept {
    if (Index < 0 || Index >= Count()) {
        return nullptr;
    }
    return FItems[static_cast<size_t>(Index)].get();
}

void TLanguageList::Clear() noexcept {
    while (!FItems.empty()) {
        FItems.pop_back();
    }
}
