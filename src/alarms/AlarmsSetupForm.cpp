#include "alarms/AlarmsSetupForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QUrl>

#include <algorithm>
#include <iterator>
#include <utility>

#include "alarms/RetentionSetupForm.h"
#include "graph/FileRenderProbe.h"
#include "localisation/UiText.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"
#include "ui/MessageDialog.h"

namespace {

constexpr int kClientWidth = 576;
constexpr int kClientHeight = 349;
// Gap between a labelled edit and its label above it.
constexpr int kEditLabelSpacing = 3;
// The rows of the video logger settings (a check box and its "Open Folder" button each, then the
// recording format's label and combo box): where the first starts, the gap between two and the
// group box's margin below the last.
constexpr int kLoggerRowTop = 19;
constexpr int kLoggerRowGap = 3;
constexpr int kLoggerBottomMargin = 12;
// The least gap between a logger check box's text and its "Open Folder" button.
constexpr int kLoggerButtonGap = 6;
// The format combo box's design place (it moves right when its label needs more room), the
// least gap between the label and it, and the group box's margin right of it (as right of the
// "Open Folder" buttons).
constexpr int kFormatComboLeft = 105;
constexpr int kFormatComboWidth = 121;
constexpr int kFormatLabelGap = 6;
constexpr int kLoggerRightMargin = 14;
// The least gap between the buttons in the bottom row ("Disk Space...", "Notifications...", OK).
constexpr int kButtonGap = 6;
// The file edit's design width, and the margin right of the "..." button (and of the alarm
// check box) in its group box.
constexpr int kAlarmFileEditWidth = 377;
constexpr int kAlarmFileRightMargin = 15;

TAlarmsSetupFormRunHook gRunHook;
TAlarmsOpenDialogHook gOpenDialogHook;
TAlarmsOpenFolderHook gOpenFolderHook;

QString DesignText(TTextIndex index) {
    return QString::fromStdString(DefaultTexts.Texts[index]);
}

QString RunOpenDialog(QWidget* parent, const QString& presetFileName) {
    if (gOpenDialogHook) {
        return gOpenDialogHook(parent, presetFileName);
    }
    // No file-type filter: any sound or video file the media framework can play will do.
    return QFileDialog::getOpenFileName(parent, QString(), presetFileName);
}

void OpenFolder(const QString& folder) {
    if (gOpenFolderHook) {
        gOpenFolderHook(folder);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

// A file, not a folder, that exists.
bool IsExistingFile(const QString& fileName) {
    const QFileInfo info(fileName);
    return info.exists() && !info.isDir();
}

}  // namespace

TAlarmsSetupForm::TAlarmsSetupForm(QWidget* parent)
    : QDialog(parent), FAlarmSettings(std::make_unique<TAlarmSettings>()) {
    setObjectName("AlarmsSetupForm");
    setWindowTitle(DesignText(txtAlarms));
    setFont(DialogFont());
    setFixedSize(kClientWidth, kClientHeight);
    CreateComponents();
    SpreadDialogFont(*this);
    SetTabOrder();

    if (parent != nullptr) {
        const QRect area = parent->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }

    // Key preview: the dialog sees key presses before the focused control.
    qApp->installEventFilter(this);
}

TAlarmsSetupForm::~TAlarmsSetupForm() {
    qApp->removeEventFilter(this);
}

void TAlarmsSetupForm::CreateComponents() {
    GroupBox1 = new QGroupBox(DesignText(txtVideoLoggerSettings), this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(8, 7, 560, 99);

    chkUseMotionVideoLogger =
        new QCheckBox(DesignText(txtUseMotionDetectionVideoLogger), GroupBox1);
    chkUseMotionVideoLogger->setObjectName("chkUseMotionVideoLogger");
    chkUseMotionVideoLogger->setGeometry(9, 20, 456, 17);

    chkUseConstantVideoLogger =
        new QCheckBox(DesignText(txtUseContinuallyRunningVideoLogger), GroupBox1);
    chkUseConstantVideoLogger->setObjectName("chkUseConstantVideoLogger");
    chkUseConstantVideoLogger->setGeometry(9, 43, 456, 17);

    btnOpenMotionDetectionVideoFolder = new QPushButton(DesignText(txtOpenFolder), GroupBox1);
    btnOpenMotionDetectionVideoFolder->setObjectName("btnOpenMotionDetectionVideoFolder");
    btnOpenMotionDetectionVideoFolder->setGeometry(471, 19, 75, 20);

    btnOpenContinuallyVideoFolder = new QPushButton(DesignText(txtOpenFolder), GroupBox1);
    btnOpenContinuallyVideoFolder->setObjectName("btnOpenContinuallyVideoFolder");
    btnOpenContinuallyVideoFolder->setGeometry(471, 42, 75, 20);

    // The format names are the same in every language.
    cbRecordingFormat = new QComboBox(GroupBox1);
    cbRecordingFormat->setObjectName("cbRecordingFormat");
    cbRecordingFormat->setGeometry(kFormatComboLeft, 65, kFormatComboWidth, 22);
    cbRecordingFormat->addItem("WMV", static_cast<int>(TRecordingFormat::Wmv));
    cbRecordingFormat->addItem("MP4 (H.264)", static_cast<int>(TRecordingFormat::Mp4));

    lbRecordingFormat = new QLabel(DesignText(txtRecordingFormat), GroupBox1);
    lbRecordingFormat->setObjectName("lbRecordingFormat");
    lbRecordingFormat->setBuddy(cbRecordingFormat);
    lbRecordingFormat->move(9, 70);
    lbRecordingFormat->adjustSize();

    lbZones = new QLabel(DesignText(txtZones), this);
    lbZones->setObjectName("lbZones");
    lbZones->move(8, 112);
    lbZones->adjustSize();

    lbxZones = new QListWidget(this);
    lbxZones->setObjectName("lbxZones");
    lbxZones->setGeometry(8, 130, 97, 172);

    gbAlarmProperties = new QGroupBox(DesignText(txtAlarmProperties), this);
    gbAlarmProperties->setObjectName("gbAlarmProperties");
    gbAlarmProperties->setGeometry(112, 112, 456, 190);

    gbSoundVideoAlarm = new QGroupBox(gbAlarmProperties);
    gbSoundVideoAlarm->setObjectName("gbSoundVideoAlarm");
    gbSoundVideoAlarm->setGeometry(9, 28, 434, 57);

    // The check box sits on the inner group box's top edge as its title, so it is stacked above
    // the group box and paints its own background over the frame line.
    cbEnableSoundVideoAlarm =
        new QCheckBox(DesignText(txtEnableSoundVideoAlarm), gbAlarmProperties);
    cbEnableSoundVideoAlarm->setObjectName("cbEnableSoundVideoAlarm");
    cbEnableSoundVideoAlarm->setGeometry(22, 23, 147, 17);
    cbEnableSoundVideoAlarm->setAutoFillBackground(true);
    cbEnableSoundVideoAlarm->raise();

    lbedSoundVideoAlarmFile = new QLineEdit(gbSoundVideoAlarm);
    lbedSoundVideoAlarmFile->setObjectName("lbedSoundVideoAlarmFile");
    lbedSoundVideoAlarmFile->setGeometry(13, 26, 377, 21);
    lbedSoundVideoAlarmFile->setReadOnly(true);
    lbedSoundVideoAlarmFile->setEnabled(false);

    lbedSoundVideoAlarmFileLabel =
        new QLabel(DesignText(txtSoundVideoAlarmFile), gbSoundVideoAlarm);
    lbedSoundVideoAlarmFileLabel->setObjectName("lbedSoundVideoAlarmFileLabel");
    lbedSoundVideoAlarmFileLabel->setBuddy(lbedSoundVideoAlarmFile);
    lbedSoundVideoAlarmFileLabel->setEnabled(false);

    btnSelectSoundVideoAlarmFile = new QPushButton("...", gbSoundVideoAlarm);
    btnSelectSoundVideoAlarmFile->setObjectName("btnSelectSoundVideoAlarmFile");
    btnSelectSoundVideoAlarmFile->setGeometry(396, 25, 23, 23);
    btnSelectSoundVideoAlarmFile->setEnabled(false);

    btnDiskSpace = new QPushButton(DesignText(txtDiskSpace) + "...", this);
    btnDiskSpace->setObjectName("btnDiskSpace");
    btnDiskSpace->setGeometry(8, 308, 97, 25);

    btnNotifications = new QPushButton(DesignText(txtNotifications) + "...", this);
    btnNotifications->setObjectName("btnNotifications");
    btnNotifications->setGeometry(111, 308, 97, 25);

    btnOK = new QPushButton(DesignText(txtOK), this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(414, 308, 75, 25);
    btnOK->setDefault(true);

    btnCancel = new QPushButton(DesignText(txtCancel), this);
    btnCancel->setObjectName("btnCancel");
    btnCancel->setGeometry(494, 308, 75, 25);

    // Check boxes report programmatic changes too, so that selecting another zone also refreshes
    // which controls are usable.
    connect(chkUseMotionVideoLogger, &QCheckBox::toggled, this,
            &TAlarmsSetupForm::chkUseMotionVideoLoggerClick);
    connect(chkUseConstantVideoLogger, &QCheckBox::toggled, this,
            &TAlarmsSetupForm::chkUseConstantVideoLoggerClick);
    connect(cbRecordingFormat, &QComboBox::currentIndexChanged, this,
            &TAlarmsSetupForm::cbRecordingFormatChange);
    connect(cbEnableSoundVideoAlarm, &QCheckBox::toggled, this,
            &TAlarmsSetupForm::cbEnableSoundVideoAlarmClick);
    connect(lbxZones, &QListWidget::currentRowChanged, this, &TAlarmsSetupForm::lbxZonesClick);
    connect(btnSelectSoundVideoAlarmFile, &QPushButton::clicked, this,
            &TAlarmsSetupForm::btnSelectSoundVideoAlarmFileClick);
    connect(btnOpenMotionDetectionVideoFolder, &QPushButton::clicked, this,
            &TAlarmsSetupForm::btnOpenMotionDetectionVideoFolderClick);
    connect(btnOpenContinuallyVideoFolder, &QPushButton::clicked, this,
            &TAlarmsSetupForm::btnOpenContinuallyVideoFolderClick);
    connect(btnDiskSpace, &QPushButton::clicked, this, &TAlarmsSetupForm::btnDiskSpaceClick);
    connect(btnNotifications, &QPushButton::clicked, this,
            &TAlarmsSetupForm::btnNotificationsClick);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TAlarmsSetupForm::SetTabOrder() {
    // btnOK, btnCancel, lbxZones, then the alarm properties, then the video logger settings (the
    // recording format last) and the disk space and the notifications.
    QWidget* const order[] = {btnOK,
                              btnCancel,
                              lbxZones,
                              cbEnableSoundVideoAlarm,
                              lbedSoundVideoAlarmFile,
                              btnSelectSoundVideoAlarmFile,
                              chkUseMotionVideoLogger,
                              chkUseConstantVideoLogger,
                              btnOpenMotionDetectionVideoFolder,
                              btnOpenContinuallyVideoFolder,
                              cbRecordingFormat,
                              btnDiskSpace,
                              btnNotifications};
    for (size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void TAlarmsSetupForm::SetLogFolders(const QString& MotionLogFolder,
                                     const QString& ConstantLogFolder) {
    FMotionLogFolder = MotionLogFolder;
    FConstantLogFolder = ConstantLogFolder;
}

void TAlarmsSetupForm::SetNotificationTestSender(TNotificationTestSender Sender) {
    FNotificationTestSender = std::move(Sender);
}

void TAlarmsSetupForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

bool TAlarmsSetupForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        if (FormKeyDown(static_cast<QKeyEvent*>(event)->key())) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

TZoneAlarmSettings* TAlarmsSetupForm::SelectedZone() {
    return FAlarmSettings->Zone(lbxZones->currentRow());
}

int TAlarmsSetupForm::TextWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text);
}

void TAlarmsSetupForm::FormShow() {
    try {
        // 1. One entry per zone: "Zone1", "Zone2", ...
        const int count = FAlarmSettings->ZoneCount();
        for (int i = 0; i < count; ++i) {
            lbxZones->addItem(UiText(txtZone) + QString::number(i + 1));
        }
        // 2. The first zone is shown; without zones there is no alarm to enable.
        if (count == 0) {
            cbEnableSoundVideoAlarm->setEnabled(false);
        } else {
            {
                const QSignalBlocker blocker(lbxZones);
                lbxZones->setCurrentRow(0);
            }
            lbxZonesClick();
        }
        // 3. - 4.
        chkUseMotionVideoLogger->setChecked(FAlarmSettings->UseMotionVideoLogger());
        chkUseConstantVideoLogger->setChecked(FAlarmSettings->UseConstantVideoLogger());
        cbRecordingFormat->setCurrentIndex(cbRecordingFormat->findData(
            static_cast<int>(FAlarmSettings->RecordingFormat())));
        RefreshTexts();
        GeneralRefresh();
    } catch (...) {
        LogMessage("Error in TAlarmsSetupForm.FormShow call...");
    }
}

void TAlarmsSetupForm::lbxZonesClick() {
    try {
        const TZoneAlarmSettings* zone = SelectedZone();
        if (zone == nullptr) {
            return;
        }
        cbEnableSoundVideoAlarm->setChecked(zone->SoundVideoAlarmEnabled);
        lbedSoundVideoAlarmFile->setText(QString::fromStdString(zone->SoundVideoAlarmFileName));
    } catch (...) {
    }
}

void TAlarmsSetupForm::cbEnableSoundVideoAlarmClick() {
    try {
        if (TZoneAlarmSettings* zone = SelectedZone()) {
            zone->SoundVideoAlarmEnabled = cbEnableSoundVideoAlarm->isChecked();
        }
        GeneralRefresh();
    } catch (...) {
    }
}

void TAlarmsSetupForm::GeneralRefresh() {
    try {
        const bool enabled = cbEnableSoundVideoAlarm->isChecked();
        lbedSoundVideoAlarmFile->setEnabled(enabled);
        lbedSoundVideoAlarmFileLabel->setEnabled(enabled);
        btnSelectSoundVideoAlarmFile->setEnabled(enabled);
    } catch (...) {
    }
}

void TAlarmsSetupForm::btnSelectSoundVideoAlarmFileClick() {
    try {
        // The open dialog remembers its last file name, like a dialog component kept on the form.
        if (!lbedSoundVideoAlarmFile->text().isEmpty()) {
            FOpenDialogFileName = lbedSoundVideoAlarmFile->text();
        }
        const QString fileName = RunOpenDialog(this, FOpenDialogFileName);
        if (fileName.isEmpty()) {
            return;
        }
        FOpenDialogFileName = fileName;
        if (!IsExistingFile(fileName)) {
            return;
        }
        if (CanFileRender(fileName.toStdString())) {
            lbedSoundVideoAlarmFile->setText(fileName);
            if (TZoneAlarmSettings* zone = SelectedZone()) {
                zone->SoundVideoAlarmFileName = fileName.toStdString();
            }
        } else {
            ShowMessageDialog(UiText(txtFileCannotBePlayed), TMsgDlgType::mtInformation,
                              {TMsgDlgBtn::mbOK}, UiText(txtProductName), {UiText(txtOK)});
        }
    } catch (...) {
    }
}

void TAlarmsSetupForm::chkUseMotionVideoLoggerClick() {
    try {
        FAlarmSettings->SetUseMotionVideoLogger(chkUseMotionVideoLogger->isChecked());
    } catch (...) {
    }
}

void TAlarmsSetupForm::chkUseConstantVideoLoggerClick() {
    try {
        FAlarmSettings->SetUseConstantVideoLogger(chkUseConstantVideoLogger->isChecked());
    } catch (...) {
    }
}

void TAlarmsSetupForm::cbRecordingFormatChange() {
    try {
        const QVariant format = cbRecordingFormat->currentData();
        if (format.isValid()) {
            FAlarmSettings->SetRecordingFormat(static_cast<TRecordingFormat>(format.toInt()));
        }
    } catch (...) {
    }
}

void TAlarmsSetupForm::btnOpenMotionDetectionVideoFolderClick() {
    try {
        OpenFolder(FMotionLogFolder);
    } catch (...) {
        LogMessage("Error in TAlarmsSetupForm.btnOpenMotionDetectionVideoFolderClick call...");
    }
}

void TAlarmsSetupForm::btnOpenContinuallyVideoFolderClick() {
    try {
        OpenFolder(FConstantLogFolder);
    } catch (...) {
        LogMessage("Error in TAlarmsSetupForm.btnOpenContinuallyVideoFolderClick call...");
    }
}

void TAlarmsSetupForm::btnDiskSpaceClick() {
    try {
        TRetentionLimits limits = FAlarmSettings->RetentionLimits();
        if (ShowRetentionSetupForm(limits, this)) {
            FAlarmSettings->SetRetentionLimits(limits);
        }
    } catch (...) {
        LogMessage("Error in TAlarmsSetupForm.btnDiskSpaceClick call...");
    }
}

void TAlarmsSetupForm::btnNotificationsClick() {
    try {
        if (ShowNotificationsSetupForm(FNotificationTestSender, this)) {
            FNotificationsChanged = true;
        }
    } catch (...) {
        LogMessage("Error in TAlarmsSetupForm.btnNotificationsClick call...");
    }
}

bool TAlarmsSetupForm::FormKeyDown(int Key) {
    try {
        if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
            btnOK->click();
            return true;
        }
        if (Key == Qt::Key_Escape) {
            btnCancel->click();
            return true;
        }
    } catch (...) {
        LogMessage("Error in TAlarmsSetupForm.FormKeyDown call...");
    }
    return false;
}

void TAlarmsSetupForm::RefreshTexts() {
    try {
        setWindowTitle(UiText(txtAlarms));
        lbZones->setText(UiText(txtZones));
        lbZones->adjustSize();
        chkUseMotionVideoLogger->setText(UiText(txtUseMotionDetectionVideoLogger));
        chkUseConstantVideoLogger->setText(UiText(txtUseContinuallyRunningVideoLogger));
        lbRecordingFormat->setText(UiText(txtRecordingFormat));
        lbRecordingFormat->adjustSize();
        gbAlarmProperties->setTitle(UiText(txtAlarmProperties));

        lbedSoundVideoAlarmFileLabel->setText(UiText(txtSoundVideoAlarmFile));
        lbedSoundVideoAlarmFileLabel->adjustSize();
        lbedSoundVideoAlarmFileLabel->move(lbedSoundVideoAlarmFile->x(),
                                           lbedSoundVideoAlarmFile->y() -
                                               lbedSoundVideoAlarmFileLabel->height() -
                                               kEditLabelSpacing);

        btnOK->setText(UiText(txtOK));
        btnCancel->setText(UiText(txtCancel));
        btnDiskSpace->setText(UiText(txtDiskSpace) + "...");
        btnNotifications->setText(UiText(txtNotifications) + "...");
        GroupBox1->setTitle(UiText(txtVideoLoggerSettings));

        // The alarm check box grows or shrinks with its caption.
        const QString enableText = UiText(txtEnableSoundVideoAlarm);
        const int widthChange = TextWidth(enableText) - TextWidth(cbEnableSoundVideoAlarm->text());
        cbEnableSoundVideoAlarm->resize(std::max(0, cbEnableSoundVideoAlarm->width() + widthChange),
                                        cbEnableSoundVideoAlarm->height());
        cbEnableSoundVideoAlarm->setText(enableText);

        // The "Open Folder" buttons only grow, to the left, keeping their right edges.
        const QString openFolderText = UiText(txtOpenFolder);
        const int growth =
            TextWidth(openFolderText) - TextWidth(btnOpenMotionDetectionVideoFolder->text());
        for (QPushButton* button :
             {btnOpenMotionDetectionVideoFolder, btnOpenContinuallyVideoFolder}) {
            if (growth > 0) {
                const QRect r = button->geometry();
                button->setGeometry(r.x() - growth, r.y(), r.width() + growth, r.height());
            }
            button->setText(openFolderText);
        }
        FitTexts();
    } catch (...) {
    }
}

void TAlarmsSetupForm::FitTexts() {
    const std::pair<QCheckBox*, QPushButton*> loggerRows[] = {
        {chkUseMotionVideoLogger, btnOpenMotionDetectionVideoFolder},
        {chkUseConstantVideoLogger, btnOpenContinuallyVideoFolder}};

    // Across. The alarm check box grows to the right; the buttons at the right ends of their
    // rows grow to the left, keeping their right edges, the two "Open Folder" buttons alike and
    // OK and Cancel alike; the file edit gives the "..." button its room.
    GrowRightTo(*cbEnableSoundVideoAlarm, SizeForText(*cbEnableSoundVideoAlarm).width());
    const int openFolderWidth = std::max(SizeForText(*btnOpenMotionDetectionVideoFolder).width(),
                                         SizeForText(*btnOpenContinuallyVideoFolder).width());
    GrowLeftTo(*btnOpenMotionDetectionVideoFolder, openFolderWidth);
    GrowLeftTo(*btnOpenContinuallyVideoFolder, openFolderWidth);
    // The format combo box sits right of its label, wide enough for its longest item.
    cbRecordingFormat->move(
        std::max(kFormatComboLeft, lbRecordingFormat->geometry().right() + 1 + kFormatLabelGap),
        cbRecordingFormat->y());
    GrowRightTo(*cbRecordingFormat, cbRecordingFormat->sizeHint().width());
    const int selectGrowth = GrowLeftTo(*btnSelectSoundVideoAlarmFile,
                                        SizeForText(*btnSelectSoundVideoAlarmFile).width());
    StretchBy({lbedSoundVideoAlarmFile}, -selectGrowth, 0);
    const int buttonWidth = std::max(SizeForText(*btnOK).width(), SizeForText(*btnCancel).width());
    MoveBy({btnOK}, -GrowLeftTo(*btnCancel, buttonWidth), 0);
    GrowLeftTo(*btnOK, buttonWidth);
    GrowRightTo(*btnDiskSpace, SizeForText(*btnDiskSpace).width());
    btnNotifications->move(std::max(btnNotifications->x(),
                                    btnDiskSpace->geometry().right() + 1 + kButtonGap),
                           btnNotifications->y());
    GrowRightTo(*btnNotifications, SizeForText(*btnNotifications).width());

    // The dialog widens by what is still missing: the file edit's design width, room beside the
    // logger check boxes' texts and the alarm check box's, the group box titles. The group boxes
    // and the file edit stretch with it; the buttons on the right keep their places there.
    int widen = kAlarmFileEditWidth - lbedSoundVideoAlarmFile->width();
    for (const auto& [check, button] : loggerRows) {
        widen = std::max(widen,
                         check->x() + SizeForText(*check).width() + kLoggerButtonGap - button->x());
    }
    widen = std::max(widen, cbRecordingFormat->geometry().right() + 1 + kLoggerRightMargin -
                                GroupBox1->width());
    widen =
        std::max(widen, cbEnableSoundVideoAlarm->geometry().right() + 1 + kAlarmFileRightMargin -
                            (gbSoundVideoAlarm->geometry().right() + 1));
    for (QGroupBox* box : {GroupBox1, gbAlarmProperties}) {
        widen = std::max(widen, SizeForText(*box).width() - box->width());
    }
    widen = std::max(widen, btnNotifications->geometry().right() + 1 + kButtonGap - btnOK->x());
    if (widen > 0) {
        StretchBy({GroupBox1, gbAlarmProperties, gbSoundVideoAlarm, lbedSoundVideoAlarmFile}, widen,
                  0);
        MoveBy({btnOpenMotionDetectionVideoFolder, btnOpenContinuallyVideoFolder,
                btnSelectSoundVideoAlarmFile, btnOK, btnCancel},
               widen, 0);
        GrowDialogBy(*this, widen, 0);
    }

    // Down. The "..." button stays centred on the file edit, however tall its style makes it.
    btnSelectSoundVideoAlarmFile->move(
        btnSelectSoundVideoAlarmFile->x(),
        lbedSoundVideoAlarmFile->y() +
            (lbedSoundVideoAlarmFile->height() - btnSelectSoundVideoAlarmFile->height()) / 2);
    // The logger rows and the format's row are as tall as their tallest control, each control
    // centred in its row; the group box and with it the dialog grow by what the rows need beyond
    // the design, and everything below the group box moves down.
    cbRecordingFormat->resize(cbRecordingFormat->width(),
                              std::max(cbRecordingFormat->height(),
                                       cbRecordingFormat->sizeHint().height()));
    const std::pair<QWidget*, QWidget*> rows[] = {
        {chkUseMotionVideoLogger, btnOpenMotionDetectionVideoFolder},
        {chkUseConstantVideoLogger, btnOpenContinuallyVideoFolder},
        {lbRecordingFormat, cbRecordingFormat}};
    int rowTop = kLoggerRowTop;
    for (const auto& [check, button] : rows) {
        const int rowHeight = std::max({check->height(), SizeForText(*check).height(),
                                        button->height(), SizeForText(*button).height()});
        for (QWidget* control : {check, button}) {
            control->resize(control->width(),
                            std::max(control->height(), SizeForText(*control).height()));
            control->move(control->x(), rowTop + (rowHeight - control->height()) / 2);
        }
        rowTop += rowHeight + kLoggerRowGap;
    }
    const int lower = rowTop - kLoggerRowGap + kLoggerBottomMargin - GroupBox1->height();
    if (lower != 0) {
        StretchBy({GroupBox1}, 0, lower);
        MoveBy({lbZones, lbxZones, gbAlarmProperties, btnDiskSpace, btnNotifications, btnOK,
                btnCancel},
               0, lower);
        GrowDialogBy(*this, 0, lower);
    }
}

bool ShowAlarmsSetupForm(TAlarmSettings& AlarmSettings, const QString& MotionLogFolder,
                         const QString& ConstantLogFolder, QWidget* parent,
                         TNotificationTestSender NotificationTestSender,
                         bool* NotificationsChanged) {
    if (NotificationsChanged != nullptr) {
        *NotificationsChanged = false;
    }
    try {
        // Held by a guarded pointer: should the parent go away while the dialog runs, it takes
        // the dialog with it and nothing is assigned back.
        QPointer<TAlarmsSetupForm> form = new TAlarmsSetupForm(parent);
        const auto destroyForm = qScopeGuard([&form] { delete form.data(); });
        form->AlarmSettings().Assign(AlarmSettings);
        form->SetLogFolders(MotionLogFolder, ConstantLogFolder);
        form->SetNotificationTestSender(std::move(NotificationTestSender));
        const int result = gRunHook ? gRunHook(*form) : form->exec();
        if (NotificationsChanged != nullptr && !form.isNull()) {
            *NotificationsChanged = form->NotificationsChanged();
        }
        if (form.isNull() || result != QDialog::Accepted) {
            return false;
        }
        AlarmSettings.Assign(form->AlarmSettings());
        return true;
    } catch (...) {
        LogMessage("Error in ShowAlarmsSetupForm call...");
        return false;
    }
}

TAlarmsSetupFormRunHook SetAlarmsSetupFormRunHook(TAlarmsSetupFormRunHook hook) {
    TAlarmsSetupFormRunHook previous = std::move(gRunHook);
    gRunHook = std::move(hook);
    return previous;
}

TAlarmsOpenDialogHook SetAlarmsOpenDialogHook(TAlarmsOpenDialogHook hook) {
    TAlarmsOpenDialogHook previous = std::move(gOpenDialogHook);
    gOpenDialogHook = std::move(hook);
    return previous;
}

TAlarmsOpenFolderHook SetAlarmsOpenFolderHook(TAlarmsOpenFolderHook hook) {
    TAlarmsOpenFolderHook previous = std::move(gOpenFolderHook);
    gOpenFolderHook = std::move(hook);
    return previous;
}
