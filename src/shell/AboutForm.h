#pragma once

#include <QDialog>
#include <QString>

// The version text of the build: "major.minor.release (build n)", or "major.minor (build n)"
// when the release number is 0.
QString FormatVersionText(int major, int minor, int release, int build);
QString BuildVersionText();

// The about dialog: product name, version, the maker's notices and contact details.
class TTDRAboutForm : public QDialog {
    Q_OBJECT
public:
    TTDRAboutForm(QWidget* parent, const QString& productName, const QString& versionSuffix,
                  const QString& year, const QString& versionText);
};

// Shows the about dialog modally, centred on parent. An empty versionText is read from the
// build. Failures write "gkt: Error in ShowAbout call..." to the debug output.
void ShowAbout(QWidget* parent, const QString& productName, const QString& versionSuffix,
               const QString& year, const QString& versionText);
