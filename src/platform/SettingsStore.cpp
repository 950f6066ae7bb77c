#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

namespace {

constexpr const char* kOrganisation = "Vantrelle Media Solutions";
constexpr const char* kApplication = "Tandrel";

// The lines typed without quotes that hold ";" or ",": settings key (group/name) and the text
// after "=", trimmed. Keys outside any group are in the file's "[General]" section.
std::vector<std::pair<QString, QString>> SeparatedLines(const QString& file) {
    std::vector<std::pair<QString, QString>> lines;
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return lines;
    }
    QString group;
    while (!input.atEnd()) {
        const QString line = QString::fromUtf8(input.readLine()).trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            const QString section = line.mid(1, line.size() - 2).trimmed();
            group = section == QLatin1String("General") ? QString() : section + '/';
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0 || line.startsWith(';') || line.startsWith('#')) {
            continue;
        }
        const QString value = line.mid(equals + 1).trimmed();
        if (!value.startsWith('"') && (value.contains(';') || value.contains(','))) {
            QString name = line.left(equals).trimmed();
            name.replace('\\', '/');
            lines.emplace_back(group + name, value);
        }
    }
    return lines;
}

// What the settings reader makes of an unquoted value: the text before a ";" (a comment), a
// list where it holds a ",".
bool ReaderSeesAs(const QString& typed, const QVariant& stored) {
    const QString kept = typed.left(typed.indexOf(';')).trimmed();
    if (!kept.contains(',')) {
        return stored.typeId() == QMetaType::QString && stored.toString() == kept;
    }
    QStringList parts = kept.split(',');
    for (QString& part : parts) {
        part = part.trimmed();
    }
    return stored.typeId() == QMetaType::QStringList && stored.toStringList() == parts;
}

}  // namespace

TSettingsStore::TSettingsStore()
    : FSettings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                            kOrganisation, kApplication)) {
    KeepTypedValues();
}

void TSettingsStore::KeepTypedValues() {
    if (FSettings->status() != QSettings::NoError) {
        return;
    }
    for (const auto& [key, typed] : SeparatedLines(FSettings->fileName())) {
        if (ReaderSeesAs(typed, FSettings->value(key))) {
            FSettings->setValue(key, typed);
            FWritten = true;
        }
    }
}

TSettingsStore::~TSettingsStore() {
    CloseKey();
    if (FWritten) {
        MakePrivate();
    }
}

void TSettingsStore::MakePrivate() const {
    const QString folderName = QFileInfo(FSettings->fileName()).absolutePath();
    const QByteArray file = QFile::encodeName(FSettings->fileName());
    const QByteArray folder = QFile::encodeName(folderName);
    // The levels above are the user's own (~/.config); only the program's folder is made here,
    // so that it never exists with wider rights than the file needs.
    QDir().mkpath(QFileInfo(folderName).absolutePath());
    struct stat status {};
    if (::mkdir(folder.constData(), 0700) != 0 && errno == EEXIST &&
        ::stat(folder.constData(), &status) == 0 && S_ISDIR(status.st_mode) &&
        status.st_uid == ::geteuid() && (status.st_mode & 077) != 0) {
        ::chmod(folder.constData(), status.st_mode & 0700);
    }
    const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && (status.st_mode & 077) != 0) {
            ::fchmod(fd, 0600);
        }
        ::close(fd);
    }
}

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
    FWritten = true;
    FSettings->remove(subKey);
    return true;
}

bool TSettingsStore::ValueExists(const QString& name) const {
    return FOpen && FSettings->contains(name);
}

QStringList TSettingsStore::ValueNames() const {
    return FOpen ? FSettings->childKeys() : QStringList();
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
    FWritten = true;
    FSettings->setValue(name, value);
    return true;
}

bool TSettingsStore::WriteString(const QString& name, const QString& value) {
    if (!FOpen) {
        return false;
    }
    FWritten = true;
    FSettings->setValue(name, value);
    return true;
}

bool TSettingsStore::DeleteValue(const QString& name) {
    if (!ValueExists(name)) {
        return false;
    }
    FWritten = true;
    FSettings->remove(name);
    return true;
}

bool TSettingsStore::Flush() {
    if (FWritten) {
        MakePrivate();
    }
    FSettings->sync();
    return FSettings->status() == QSettings::NoError;
}
