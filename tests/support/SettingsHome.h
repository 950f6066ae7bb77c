#pragma once

#include <QCoreApplication>
#include <QSettings>
#include <QString>

// Points the program's settings file into Folder, under the names the program uses.
inline void UseSettingsHome(const QString& Folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Folder);
    QCoreApplication::setOrganizationName("Vantrelle Media Solutions");
    QCoreApplication::setApplicationName("Tandrel");
}
