#include "platform/SettingsStore.h"

#include <QSettings>

namespace {

constexpr const char* kOrganisation = "Vantrelle Media Solutions";
constexpr const char* kApplication = "Tandrel";

}  // namespace

TSettingsStore::TSettingsStore()
    : FSettings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            kOrganisation, kApplication)) {}

TSettingsStore::~TSettingsStore() { CloseKey(); }

bool TSettingsStore::KeyExists(const QString& subKey) const {
    if (FSettings->status() != QSettings::NoError) {
        return false;
    }
    if (subKey.isEmpty()) {
        return !FSettings->allKeys().isEmpty();
    }
    return FSettings->childGroups().contains(subKey);
}

bool TSettingsStore::OpenKey(const QString& subKey, bool canCreate) {
    CloseKey();
    if (FSettings->status() == QSettings::AccessError) {
        return false;
    }
    if (!canCreate && !KeyExists(subKey)) {
        return false;
    }
    FGroup = subKey;
    if (!FGroup.isEmpty()) {
        FSettings->beginGroup(FGroup);
    }
    FOpen = true;
    return true;
}

void TSettingsStore::CloseKey() {
    if (FOpen && !FGroup.isEmpty()) {
        FSettings->endGroup();
    }
    FOpen = false;
    FGroup.clear();
}

bool TSettingsStore::DeleteKey(const QString& subKey) {
    if (subKey.isEmpty() || FOpen) {
        return false;
    }
    FSettings->remove(subKey);
    return true;
}

bool TSettingsStore::ValueExists(const QString& name) const {
    return FOpen && FSettings->contains(name);
}

bool TSettingsStore::ReadInteger(const QString& name, int& value) const {
    if (!ValueExists(name)) {
        return false;
    }
    const QVariant stored = FSettings->value(name);
    // The native file stores text; only a whole decimal number counts as an integer.
    if (stored.typeId() != QMetaType::QString && stored.typeId() != QMetaType::Int &&
        stored.typeId() != QMetaType::LongLong) {
        return false;
    }
    bool ok = false;
    const int parsed = stored.toString().trimmed().toInt(&ok);
    if (!ok) {
        return false;
    }
    value = parsed;
    return true;
}

bool TSettingsStore::ReadString(const QString& name, QString& value) const {
    if (!ValueExists(name)) {
        return false;
    }
    const QVariant stored = FSettings->value(name);
    if (!stored.canConvert<QString>()) {
        return false;
    }
    value = stored.toString();
    return true;
}

bool TSettingsStore::WriteInteger(const QString& name, int value) {
    if (!FOpen) {
        return false;
    }
    FSettings->setValue(name, value);
    return true;
}

bool TSettingsStore::WriteString(const QString& name, const QString& value) {
    if (!FOpen) {
        return false;
    }
    FSettings->setValue(name, value);
    return true;
}

bool TSettingsStore::DeleteValue(const QString& name) {
    if (!ValueExists(name)) {
        return false;
    }
    FSettings->remove(name);
    return true;
}

bool TSettingsStore::Flush() {
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
}
