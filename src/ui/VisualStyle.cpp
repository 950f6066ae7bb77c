#include "ui/VisualStyle.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QPalette>
#include <QStyleFactory>

namespace {

constexpr QRgb kAccent = 0x0078D7;       // Windows 10 accent blue
constexpr QRgb kAccentHover = 0xE5F1FB;  // light blue of hovered controls
constexpr QRgb kWindow = 0xF0F0F0;
constexpr QRgb kBorder = 0xADADAD;

const char* kStyleSheet = R"(
QPushButton {
    background: #E1E1E1; border: 1px solid #ADADAD; padding: 4px 12px; min-height: 18px;
}
QPushButton:hover { background: #E5F1FB; border-color: #0078D7; }
QPushButton:pressed { background: #CCE4F7; border-color: #005499; }
/* The default button's thicker border takes from its padding: its label keeps its room. */
QPushButton:default { border: 2px solid #0078D7; padding: 3px 11px; }
QPushButton:disabled { background: #CCCCCC; color: #838383; border-color: #BFBFBF; }
QMenuBar { background: #FFFFFF; }
QMenuBar::item:selected { background: #E5F1FB; }
QMenu { background: #F2F2F2; border: 1px solid #CCCCCC; }
QMenu::item:selected { background: #91C9F7; color: #000000; }
QComboBox, QLineEdit, QListWidget, QTreeWidget { border: 1px solid #7A7A7A; background: #FFFFFF; }
QComboBox:hover, QLineEdit:hover, QLineEdit:focus, QComboBox:focus { border-color: #0078D7; }
QGroupBox { border: 1px solid #DCDCDC; margin-top: 8px; }
QGroupBox::title { subcontrol-origin: margin; left: 8px; color: #0078D7; }
)";

}  // namespace

void RegisterDialogFonts() {
    if (QFontDatabase::hasFamily("Tahoma")) {
        return;
    }
    for (const char* path :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
        if (QFile::exists(path)) {
            QFontDatabase::addApplicationFont(path);
        }
    }
}

void ApplyWindows10BlueStyle(QApplication& application) {
    RegisterDialogFonts();
    if (QStyle* fusion = QStyleFactory::create("Fusion")) {
        application.setStyle(fusion);
    }
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(kWindow));
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(0xF7F7F7));
    palette.setColor(QPalette::Button, QColor(0xE1E1E1));
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Highlight, QColor(kAccent));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(kAccent));
    palette.setColor(QPalette::Mid, QColor(kBorder));
    palette.setColor(QPalette::Light, QColor(kAccentHover));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x838383));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x838383));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x838383));
    application.setPalette(palette);
    application.setStyleSheet(QString::fromLatin1(kStyleSheet));
}
