#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

// The program's settings store: one key "SOFTWARE\Vantrelle Media Solutions\Tandrel" with an
// optional subkey, kept by QSettings (on Linux ~/.config/Vantrelle Media Solutions/Tandrel.conf,
// a subkey being a group). Reads are guarded: a missing value, or one that is not of the asked
// type, reads as a failure and leaves the caller's default alone.
//
// Values are text as a person types them: a value written into the file by hand without quotes
// that holds ";" or "," (lists of cameras) is taken whole, although the settings reader takes
// ";" as the start of a comment and "," as a list separator and keeps only the part before; it
// is put back in the store's own (quoted) form, so that the next write keeps every entry.
//
// The file holds camera passwords, so it is private to the user: before anything is written the
// file is made (or turned) mode 0600 and its folder 0700.
class TSettingsStore {
public:
    TSettingsStore();
    ~TSettingsStore();
    TSettingsStore(const TSettingsStore&) = delete;
    TSettingsStore& operator=(const TSettingsStore&) = delete;

    // Opens the main key ("" ) or a subkey such as "CameraManager". Without canCreate the open
    // fails when the key holds no values yet.
    bool OpenKey(const QString& subKey, bool canCreate);
    void CloseKey();
    bool KeyExists(const QString& subKey) const;
    // Removes the subkey with all its values.
    bool DeleteKey(const QString& subKey);

    bool ValueExists(const QString& name) const;
    // The names of the values in the open key (not those of its subkeys).
    QStringList ValueNames() const;
    bool ReadInteger(const QString& name, int& value) const;
    bool ReadString(const QString& name, QString& value) const;
    bool WriteInteger(const QString& name, int value);
    bool WriteString(const QString& name, const QString& value);
    bool DeleteValue(const QString& name);
    // Writes everything to disk; false when the file cannot be written.
    bool Flush();

private:
    // Takes the values typed without quotes that hold ";" or "," whole (see above).
    void KeepTypedValues();
    // Makes the file and its folder private to the user (created so when missing).
    void MakePrivate() const;

    std::unique_ptr<QSettings> FSettings;
    bool FWritten = false;
    QString FGroup;
    bool FOpen = false;
};
