#include "shell/AboutForm.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "localisation/UiText.h"
#include "platform/BuildVersion.h"
#include "platform/DebugOutput.h"
#include "ui/ProductIcon.h"

namespace {

constexpr const char* kMaker = "Vantrelle Media Solutions";
constexpr const char* kWebAddress = "https://www.vantrelle.example/tandrel";
constexpr const char* kMailAddress = "support@vantrelle.example";
constexpr const char* kPhone = "+44 20 7946 0321";

QLabel* AddLabel(QVBoxLayout* layout, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    layout->addWidget(label);
    return label;
}

}  // namespace

QString FormatVersionText(int major, int minor, int release, int build) {
    if (release == 0) {
        return QString::asprintf("%d.%d (build %d)", major, minor, build);
    }
    return QString::asprintf("%d.%d.%d (build %d)", major, minor, release, build);
}

QString BuildVersionText() {
    return FormatVersionText(TANDREL_VERSION_MAJOR, TANDREL_VERSION_MINOR,
                             TANDREL_VERSION_RELEASE, TANDREL_VERSION_BUILD);
}

TTDRAboutForm::TTDRAboutForm(QWidget* parent, const QString& productName,
                             const QString& versionSuffix, const QString& year,
                             const QString& versionText)
    : QDialog(parent) {
    setObjectName("TDRAboutForm");
    setWindowTitle(productName);
    setFixedSize(395, 323);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 8);

    auto* panel = new QWidget(this);
    panel->setObjectName("AboutPanel");
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    outer->addWidget(panel, 1);

    auto* row = new QHBoxLayout(panel);
    auto* picture = new QLabel(panel);
    picture->setPixmap(ProductIconPixmap(64));
    picture->setAlignment(Qt::AlignTop);
    row->addWidget(picture);

    auto* labels = new QVBoxLayout;
    row->addLayout(labels, 1);

    QLabel* name = AddLabel(labels, productName, panel);
    name->setObjectName("ProductNameLabel");
    QFont bold = name->font();
    bold.setPointSize(bold.pointSize() + 6);
    bold.setBold(true);
    name->setFont(bold);

    AddLabel(labels, UiText(txtVersion) + " " + versionText + " " + versionSuffix, panel)
        ->setObjectName("VersionLabel");
    labels->addSpacing(8);
    AddLabel(labels, UiText(txtCopyright) + " \u00A9 " + year + " " + kMaker, panel);
    AddLabel(labels, productName + " " + UiText(txtATradeMarkOf) + " " + kMaker, panel);
    AddLabel(labels, UiText(txtAllRightsReserved), panel);
    labels->addSpacing(8);

    QLabel* web = AddLabel(labels, QString("<a href=\"%1\">%1</a>").arg(kWebAddress), panel);
    web->setObjectName("WebLabel");
    web->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(web, &QLabel::linkActivated, this,
            [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });

    QLabel* mail = AddLabel(
        labels,
        UiText(txtEmail) + ": " + QString("<a href=\"mailto:%1\">%1</a>").arg(kMailAddress),
        panel);
    mail->setTextInteractionFlags(Qt::TextBrowserInteraction);
    connect(mail, &QLabel::linkActivated, this,
            [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    AddLabel(labels, UiText(txtPhone) + ": " + kPhone, panel);
    labels->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* ok = new QPushButton(UiText(txtOK), this);
    ok->setObjectName("btnOK");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(ok);
    buttons->addSpacing(8);
    outer->addLayout(buttons);

    // Texts longer than the design's grow the dialog.
    setFixedSize(size().expandedTo(minimumSizeHint()));
}

void ShowAbout(QWidget* parent, const QString& productName, const QString& versionSuffix,
               const QString& year, const QString& versionText) {
    try {
        const QString version = versionText.isEmpty() ? BuildVersionText() : versionText;
        TTDRAboutForm form(parent, productName, versionSuffix, year, version);
        if (parent != nullptr) {
            const QRect area = parent->frameGeometry();
            form.move(area.center() - QPoint(form.width() / 2, form.height() / 2));
        }
        form.exec();
    } catch (...) {
        OutputDebugString("gkt: Error in ShowAbout call...");
    }
}
