#include "videolog/VideoLoggerFrm.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include "localisation/UiText.h"
#include "platform/DateTime.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"
#include "videolog/RecordingRepair.h"
#include "videolog/VideoLogPreviewForm.h"

namespace {

TVideoLoggerFormRunHook gRunHook;
TVideoLoggerOpenFolderHook gOpenFolderHook;

constexpr int DesignWidth = 379;
constexpr int DesignHeight = 327;

// One decimal and the letter s, with the decimal separator of the user's locale: "60.0s".
QString DurationText(double Seconds) {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(Seconds, 'f', 1) + "s";
}

// What a row shows; a reload whose keys differ from the shown ones is shown.
std::string RowKey(const TVideoLogInfo& Info) {
    return Info.FileName + '\n' + std::to_string(Info.StartTime) + '\n' +
           std::to_string(Info.Duration);
}

}  // namespace

TVideoLoggerFrm::TVideoLoggerFrm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setFont(DialogFont());
    resize(DesignWidth, DesignHeight);
    setMinimumSize(DesignWidth, DesignHeight - 21);
    CreateComponents();
    // Every wheel turn of the application becomes a key press while this window exists.
    qApp->installEventFilter(this);
}

TVideoLoggerFrm::~TVideoLoggerFrm() {
    qApp->removeEventFilter(this);
    ClearVideoLogInfoList(&FVideoList);
}

void TVideoLoggerFrm::CreateComponents() {
    lvVideoList = new QTableWidget(0, 3, this);
    lvVideoList->setObjectName("lvVideoList");
    lvVideoList->setHorizontalHeaderLabels({"#", "Date and Time", "Duration (s)"});
    lvVideoList->verticalHeader()->hide();
    lvVideoList->setShowGrid(true);
    lvVideoList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvVideoList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvVideoList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvVideoList->setWordWrap(false);
    lvVideoList->horizontalHeader()->setStretchLastSection(false);
    lvVideoList->setColumnWidth(1, 200);
    lvVideoList->setColumnWidth(2, 100);
    // The selection stays as visible when the list does not have the focus.
    QPalette keep = lvVideoList->palette();
    keep.setColor(QPalette::Inactive, QPalette::Highlight,
                  keep.color(QPalette::Active, QPalette::Highlight));
    keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  keep.color(QPalette::Active, QPalette::HighlightedText));
    lvVideoList->setPalette(keep);
    connect(lvVideoList, &QTableWidget::itemClicked, this, [this] { lvVideoListClick(); });
    connect(lvVideoList, &QTableWidget::itemSelectionChanged, this, [this] { UpdatePlayButton(); });
    connect(lvVideoList, &QTableWidget::itemDoubleClicked, this, [this] { lvVideoListDblClick(); });
    lvVideoList->installEventFilter(this);

    btnPlayVideo = new QPushButton("Play Video", this);
    btnPlayVideo->setObjectName("btnPlayVideo");
    connect(btnPlayVideo, &QPushButton::clicked, this, [this] { btnPlayVideoClick(); });
    btnOpenFolder = new QPushButton("Open Folder", this);
    btnOpenFolder->setObjectName("btnOpenFolder");
    connect(btnOpenFolder, &QPushButton::clicked, this, [this] { btnOpenFolderClick(); });

    cbFolder = new QComboBox(this);
    cbFolder->setObjectName("cbFolder");
    cbFolder->hide();
    connect(cbFolder, &QComboBox::currentIndexChanged, this, [this] { cbFolderChange(); });

    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { RefreshForm(); });
    PlaceComponents();
}

void TVideoLoggerFrm::PlaceComponents() {
    const int w = width();
    const int h = height();
    const int bottom = h - (DesignHeight - 286);
    lvVideoList->setGeometry(8, 8, std::max(0, w - 16), std::max(0, h - (DesignHeight - 272)));
    const int playWidth = std::max(100, btnPlayVideo->width());
    const int openWidth = std::max(100, btnOpenFolder->width());
    btnPlayVideo->setGeometry(8, bottom, playWidth, 25);
    btnOpenFolder->setGeometry(w - 8 - openWidth, bottom, openWidth, 25);
    const int left = 8 + playWidth + 8;
    cbFolder->setGeometry(left, bottom + 1, std::max(0, w - 8 - openWidth - 8 - left),
                          cbFolder->sizeHint().height());
}

void TVideoLoggerFrm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceComponents();
}

void TVideoLoggerFrm::SetFolder(const std::string& Folder) {
    FFolder = Folder;
    FMotionFolder = Folder;
}

void TVideoLoggerFrm::SetConstantFolder(const std::string& Folder) {
    FConstantFolder = Folder;
    const QSignalBlocker quiet(cbFolder);
    cbFolder->clear();
    if (!Folder.empty()) {
        cbFolder->addItem(UiText(txtMotionRecordings));
        cbFolder->addItem(UiText(txtContinuousRecordings));
        cbFolder->setCurrentIndex(FFolder == FConstantFolder ? 1 : 0);
    }
    cbFolder->setVisible(!Folder.empty());
}

void TVideoLoggerFrm::RefreshTexts() {
    setWindowTitle(UiText(txtVideoLog));
    lvVideoList->setHorizontalHeaderLabels(
        {"#", UiText(txtCreationDateAndTime), UiText(txtDurationSeconds)});
    btnPlayVideo->setText(UiText(txtPlayVideo));
    btnOpenFolder->setText(UiText(txtOpenFolder));
    if (cbFolder->count() == 2) {
        cbFolder->setItemText(0, UiText(txtMotionRecordings));
        cbFolder->setItemText(1, UiText(txtContinuousRecordings));
    }
    // Columns and buttons grow with a longer translation; the list keeps the room between them.
    QHeaderView* header = lvVideoList->horizontalHeader();
    lvVideoList->setColumnWidth(1, std::max(200, header->sectionSizeHint(1)));
    lvVideoList->setColumnWidth(2, std::max(100, header->sectionSizeHint(2)));
    for (QPushButton* button : {btnPlayVideo, btnOpenFolder}) {
        button->resize(std::max(100, SizeForText(*button).width()), 25);
    }
    const int needed = btnPlayVideo->width() + btnOpenFolder->width() + 24 +
                       (cbFolder->isVisibleTo(this) ? cbFolder->sizeHint().width() + 8 : 0);
    if (needed > width()) {
        setMinimumWidth(needed);
        resize(needed, height());
    }
    PlaceComponents();
}

void TVideoLoggerFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!FShownOnce) {
        FShownOnce = true;
        FormShow();
    }
}

void TVideoLoggerFrm::FormShow() {
    try {
        Timer1->setInterval(1000);
        RefreshTexts();
        // Recordings cut off by a crash get their information files first, so they are listed.
        for (const std::string* folder : {&FMotionFolder, &FConstantFolder}) {
            if (!folder->empty()) {
                RepairRecordingInfo(*folder);
            }
        }
        ClearVideoLogInfoList(&FVideoList);
        RefreshForm();
        if (lvVideoList->rowCount() > 0) {
            lvVideoList->selectRow(0);
        }
        UpdatePlayButton();
        Timer1->start();
    } catch (...) {
        LogMessage("Error in TVideoLoggerFrm.FormShow call...");
    }
}

void TVideoLoggerFrm::RefreshForm() {
    try {
        LoadVideoLogInfoList(FFolder, &FVideoList);
        std::vector<std::string> keys;
        keys.reserve(FVideoList.size());
        for (const auto& info : FVideoList) {
            keys.push_back(RowKey(*info));
        }
        // A changed set of recordings is shown, also when their number stayed the same.
        if (keys == FShownKeys) {
            return;
        }
        FShownKeys = std::move(keys);
        FillList(SelectedIndex(), lvVideoList->horizontalScrollBar()->value(),
                 lvVideoList->verticalScrollBar()->value());
    } catch (...) {
        LogMessage("Error in TVideoLoggerFrm.RefreshForm call...");
    }
}

void TVideoLoggerFrm::FillList(int Selected, int HorizontalScroll, int VerticalScroll) {
    // The selected recording stays selected when others come or go; when it went itself, the
    // row at its place is selected.
    std::string selectedFile;
    if (Selected >= 0 && Selected < lvVideoList->rowCount()) {
        selectedFile = lvVideoList->item(Selected, 0)->data(Qt::UserRole).toString().toStdString();
    }
    lvVideoList->setUpdatesEnabled(false);
    const QSignalBlocker quiet(lvVideoList);
    lvVideoList->clearContents();
    lvVideoList->setRowCount(static_cast<int>(FVideoList.size()));
    int reselect = Selected;
    for (size_t i = 0; i < FVideoList.size(); ++i) {
        const TVideoLogInfo& info = *FVideoList[i];
        auto* number = new QTableWidgetItem(QString::number(i + 1));
        number->setData(Qt::UserRole, QString::fromStdString(info.FileName));
        lvVideoList->setItem(static_cast<int>(i), 0, number);
        lvVideoList->setItem(static_cast<int>(i), 1,
                             new QTableWidgetItem(QString::fromStdString(
                                 FormatDateTime("dd.mm.yyyy hh:nn:ss", info.StartTime))));
        lvVideoList->setItem(static_cast<int>(i), 2,
                             new QTableWidgetItem(DurationText(info.Duration)));
        if (!selectedFile.empty() && info.FileName == selectedFile) {
            reselect = static_cast<int>(i);
        }
    }
    lvVideoList->setUpdatesEnabled(true);
    if (reselect >= lvVideoList->rowCount()) {
        reselect = lvVideoList->rowCount() - 1;
    }
    lvVideoList->clearSelection();
    if (reselect >= 0) {
        lvVideoList->setCurrentCell(reselect, 0, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    }
    lvVideoList->horizontalScrollBar()->setValue(HorizontalScroll);
    lvVideoList->verticalScrollBar()->setValue(VerticalScroll);
    UpdatePlayButton();
}

void TVideoLoggerFrm::ClearForm() {
    lvVideoList->clearContents();
    lvVideoList->setRowCount(0);
    FShownKeys.clear();
    UpdatePlayButton();
}

int TVideoLoggerFrm::SelectedIndex() const {
    const QList<QTableWidgetSelectionRange> ranges = lvVideoList->selectedRanges();
    if (ranges.isEmpty()) {
        return -1;
    }
    return ranges.first().topRow();
}

void TVideoLoggerFrm::UpdatePlayButton() {
    const int index = SelectedIndex();
    btnPlayVideo->setEnabled(index >= 0 && index < lvVideoList->rowCount());
}

void TVideoLoggerFrm::lvVideoListClick() { UpdatePlayButton(); }

void TVideoLoggerFrm::lvVideoListDblClick() { btnPlayVideoClick(); }

void TVideoLoggerFrm::btnPlayVideoClick() {
    const int index = SelectedIndex();
    if (index < 0 || index >= static_cast<int>(FVideoList.size())) {
        return;
    }
    FPlayingFileName = FVideoList[static_cast<size_t>(index)]->FileName;
    QPointer<TVideoLoggerFrm> self(this);
    ShowVideoLogPreviewForm(
        this, FPlayingFileName, 0,
        [self](std::string& FileName) { return self && self->StepFileName(-1, FileName); },
        [self](std::string& FileName) { return self && self->StepFileName(1, FileName); });
}

bool TVideoLoggerFrm::StepFileName(int Step, std::string& FileName) {
    for (size_t i = 0; i < FVideoList.size(); ++i) {
        if (FVideoList[i]->FileName != FPlayingFileName) {
            continue;
        }
        const long next = static_cast<long>(i) + Step;
        if (next < 0 || next >= static_cast<long>(FVideoList.size())) {
            return false;
        }
        FPlayingFileName = FVideoList[static_cast<size_t>(next)]->FileName;
        FileName = FPlayingFileName;
        lvVideoList->selectRow(static_cast<int>(next));
        return true;
    }
    return false;
}

void TVideoLoggerFrm::btnOpenFolderClick() {
    const QString folder = QString::fromStdString(FFolder);
    if (gOpenFolderHook) {
        gOpenFolderHook(folder);
    } else {
        QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
    }
}

void TVideoLoggerFrm::cbFolderChange() {
    const std::string& folder = cbFolder->currentIndex() == 1 ? FConstantFolder : FMotionFolder;
    if (folder == FFolder) {
        return;
    }
    FFolder = folder;
    ClearVideoLogInfoList(&FVideoList);
    ClearForm();
    RefreshForm();
    if (lvVideoList->rowCount() > 0) {
        lvVideoList->selectRow(0);
    }
    UpdatePlayButton();
}

bool TVideoLoggerFrm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && watched == lvVideoList) {
        UpdatePlayButton();
    }
    if (event->type() != QEvent::Wheel) {
        return QDialog::eventFilter(watched, event);
    }
    // The wheel moves the list selection: a line per notch, a page with Ctrl, as the arrow and
    // page keys do.
    auto* wheel = static_cast<QWheelEvent*>(event);
    const bool ctrl = wheel->modifiers().testFlag(Qt::ControlModifier);
    const bool away = wheel->angleDelta().y() > 0;
    const int key = away ? (ctrl ? Qt::Key_PageUp : Qt::Key_Up)
                         : (ctrl ? Qt::Key_PageDown : Qt::Key_Down);
    QObject* target = watched;
    for (QObject* o = watched; o != nullptr; o = o->parent()) {
        if (qobject_cast<QAbstractItemView*>(o) != nullptr) {
            target = o;
            break;
        }
    }
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &press);
    return true;
}

void TVideoLoggerFrm::FormClose() {
    if (FClosed) {
        return;
    }
    FClosed = true;
    Timer1->stop();
    ClearVideoLogInfoList(&FVideoList);
}

void TVideoLoggerFrm::closeEvent(QCloseEvent* event) {
    FormClose();
    QDialog::closeEvent(event);
}

void TVideoLoggerFrm::done(int result) {
    FormClose();
    QDialog::done(result);
}

void ShowVideoLoggerForm(QWidget* AOwner, const std::string& Folder, const QString& Caption,
                         const std::string& ConstantFolder) {
    try {
        QPointer<TVideoLoggerFrm> form = new TVideoLoggerFrm(AOwner);
        const auto destroyForm = qScopeGuard([&form] { delete form.data(); });
        form->setWindowTitle(Caption);
        // Without an owner the window still opens over the main window, centred on it.
        if (QWidget* anchor = AOwner != nullptr ? AOwner : QApplication::activeWindow()) {
            form->move(anchor->frameGeometry().center() - form->rect().center());
        }
        form->SetFolder(Folder);
        form->SetConstantFolder(ConstantFolder);
        if (gRunHook) {
            gRunHook(*form);
        } else {
            form->exec();
        }
    } catch (...) {
        LogMessage("Error in ShowVideoLoggerForm call...");
    }
}

TVideoLoggerFormRunHook SetVideoLoggerFormRunHook(TVideoLoggerFormRunHook Hook) {
    TVideoLoggerFormRunHook previous = std::move(gRunHook);
    gRunHook = std::move(Hook);
    return previous;
}

TVideoLoggerOpenFolderHook SetVideoLoggerOpenFolderHook(TVideoLoggerOpenFolderHook Hook) {
    TVideoLoggerOpenFolderHook previous = std::move(gOpenFolderHook);
    gOpenFolderHook = std::move(Hook);
    return previous;
}
