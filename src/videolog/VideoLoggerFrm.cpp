#include "videolog/VideoLoggerFrm.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>

#include "localisation/UiText.h"
#include "platform/DateTime.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"
#include "videolog/RecordingRepair.h"
#include "videolog/VideoLogPreviewForm.h"
#include "videolog/VideoLogTableModel.h"

namespace {

TVideoLoggerFormRunHook gRunHook;
TVideoLoggerOpenFolderHook gOpenFolderHook;

constexpr int DesignWidth = 379;
constexpr int DesignHeight = 327;

// The text with every digit replaced by the widest one of the font: as wide as any number of
// that form can be.
int WidestWidth(const QFontMetrics& Metrics, QString Text) {
    QChar widest = '0';
    for (char digit = '0'; digit <= '9'; ++digit) {
        if (Metrics.horizontalAdvance(QChar(digit)) > Metrics.horizontalAdvance(widest)) {
            widest = QChar(digit);
        }
    }
    for (QChar& c : Text) {
        if (c.isDigit()) {
            c = widest;
        }
    }
    return Metrics.horizontalAdvance(Text);
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
}

const TVideoLogInfoList& TVideoLoggerFrm::Records() const { return FModel->Records(); }

void TVideoLoggerFrm::CreateComponents() {
    FModel = new TVideoLogTableModel(this);
    lvVideoList = new QTableView(this);
    lvVideoList->setObjectName("lvVideoList");
    lvVideoList->setModel(FModel);
    lvVideoList->verticalHeader()->hide();
    // Rows of one height: the view places any row without asking the model for its size.
    lvVideoList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvVideoList->verticalHeader()->setDefaultSectionSize(
        lvVideoList->verticalHeader()->minimumSectionSize());
    lvVideoList->setShowGrid(true);
    lvVideoList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvVideoList->setSelectionMode(QAbstractItemView::SingleSelection);
    lvVideoList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvVideoList->setWordWrap(false);
    lvVideoList->horizontalHeader()->setStretchLastSection(false);
    lvVideoList->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // The selection stays as visible when the list does not have the focus.
    QPalette keep = lvVideoList->palette();
    keep.setColor(QPalette::Inactive, QPalette::Highlight,
                  keep.color(QPalette::Active, QPalette::Highlight));
    keep.setColor(QPalette::Inactive, QPalette::HighlightedText,
                  keep.color(QPalette::Active, QPalette::HighlightedText));
    lvVideoList->setPalette(keep);
    connect(lvVideoList, &QTableView::clicked, this, [this] { lvVideoListClick(); });
    connect(lvVideoList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdatePlayButton(); });
    connect(lvVideoList, &QTableView::doubleClicked, this, [this] { lvVideoListDblClick(); });
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

    FWatcher = new QFileSystemWatcher(this);
    FWatchDelay = new QTimer(this);
    FWatchDelay->setSingleShot(true);
    FWatchDelay->setInterval(100);
    connect(FWatcher, &QFileSystemWatcher::directoryChanged, FWatchDelay,
            qOverload<>(&QTimer::start));
    connect(FWatchDelay, &QTimer::timeout, this, [this] { RefreshForm(); });
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { CheckFolder(); });
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
    FModel->SetHeaders({"#", UiText(txtCreationDateAndTime), UiText(txtDurationSeconds)});
    btnPlayVideo->setText(UiText(txtPlayVideo));
    btnOpenFolder->setText(UiText(txtOpenFolder));
    if (cbFolder->count() == 2) {
        cbFolder->setItemText(0, UiText(txtMotionRecordings));
        cbFolder->setItemText(1, UiText(txtContinuousRecordings));
    }
    // Buttons grow with a longer translation; the list keeps the room between them.
    for (QPushButton* button : {btnPlayVideo, btnOpenFolder}) {
        button->resize(std::max(100, SizeForText(*button).width()), 25);
    }
    const int needed = btnPlayVideo->width() + btnOpenFolder->width() + 24 +
                       (cbFolder->isVisibleTo(this) ? cbFolder->sizeHint().width() + 8 : 0);
    if (needed > width()) {
        setMinimumWidth(needed);
        resize(needed, height());
    }
    SizeColumns();
    PlaceComponents();
}

void TVideoLoggerFrm::SizeColumns() {
    const QFontMetrics metrics(lvVideoList->font());
    // A cell draws its text between two margins of the style, beside a grid line.
    const int margins =
        2 * (lvVideoList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr,
                                               lvVideoList) + 1) +
        (lvVideoList->showGrid() ? 1 : 0) + 2;
    const TVideoLogInfoList& records = FModel->Records();
    double longest = 99999.9;  // room for recordings of a day without resizing
    for (const auto& info : records) {
        longest = std::max(longest, info->Duration);
    }
    TVideoLogInfo sample;
    sample.StartTime = EncodeDateTime({2000, 12, 28, 20, 0, 0, 0});
    const int contents[] = {
        WidestWidth(metrics, TVideoLogTableModel::NumberText(
                                 std::max(9999, static_cast<int>(records.size())) - 1)),
        WidestWidth(metrics, TVideoLogTableModel::StartText(sample)),
        WidestWidth(metrics, TVideoLogTableModel::DurationText(longest))};
    QHeaderView* header = lvVideoList->horizontalHeader();
    int total = 0;
    for (int column = 0; column < 3; ++column) {
        const int wanted = std::max(header->sectionSizeHint(column), contents[column] + margins);
        // Columns only grow, so a width the user dragged wider is kept.
        if (header->sectionSize(column) < wanted) {
            lvVideoList->setColumnWidth(column, wanted);
        }
        total += header->sectionSize(column);
    }
    // The list's frame, a vertical scroll bar and the window's margins beside the columns.
    const int needed =
        total + 2 * lvVideoList->frameWidth() +
        lvVideoList->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, lvVideoList) + 16;
    if (needed > width()) {
        setMinimumWidth(std::max(minimumWidth(), needed));
        resize(needed, height());
    }
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
        FCache.Clear();
        FModel->Clear();
        RefreshForm();
        RepairShownFolder();
        if (FModel->rowCount() > 0) {
            SelectRow(0);
        }
        UpdatePlayButton();
        Timer1->start();
    } catch (...) {
        LogMessage("Error in TVideoLoggerFrm.FormShow call...");
    }
}

void TVideoLoggerFrm::RefreshForm() {
    try {
        const bool changed = FCache.Update(FFolder);
        WatchFolder();
        if (!changed && static_cast<size_t>(FModel->rowCount()) == FCache.Count()) {
            return;
        }
        // The selected recording stays selected when others come or go; when it went itself,
        // the row at its place is selected.
        const int selected = SelectedIndex();
        const std::string selectedFile =
            selected >= 0 ? Records()[static_cast<size_t>(selected)]->FileName : std::string();
        const int horizontalScroll = lvVideoList->horizontalScrollBar()->value();
        const int verticalScroll = lvVideoList->verticalScrollBar()->value();
        FModel->SetRecords(FCache.Records());
        if (SelectedIndex() < 0 && selected >= 0 && FModel->rowCount() > 0) {
            const TVideoLogInfoList& records = Records();
            const auto found = std::lower_bound(
                records.begin(), records.end(), selectedFile,
                [](const auto& info, const std::string& name) { return info->FileName < name; });
            SelectRow(found != records.end() && (*found)->FileName == selectedFile
                          ? static_cast<int>(found - records.begin())
                          : std::min(selected, FModel->rowCount() - 1));
        }
        lvVideoList->horizontalScrollBar()->setValue(horizontalScroll);
        lvVideoList->verticalScrollBar()->setValue(verticalScroll);
        SizeColumns();
        UpdatePlayButton();
    } catch (...) {
        LogMessage("Error in TVideoLoggerFrm.RefreshForm call...");
    }
}

void TVideoLoggerFrm::RepairShownFolder() {
    // Recordings cut off by a crash get their information files, so they are listed too. Only
    // a folder with videos that have none is looked through again for them.
    if (!FFolder.empty() && FCache.UnpairedVideos() > 0 && RepairRecordingInfo(FFolder) > 0) {
        RefreshForm();
    }
}

void TVideoLoggerFrm::CheckFolder() {
    if (FCache.FolderChanged(FWatching)) {
        RefreshForm();
    }
}

void TVideoLoggerFrm::WatchFolder() {
    QStringList wanted;
    const QString folder = QDir::cleanPath(QString::fromStdString(FFolder));
    for (const QString& path : {folder, folder + "/LogInfo"}) {
        if (!FFolder.empty() && QFileInfo(path).isDir()) {
            wanted.push_back(path);
        }
    }
    const QStringList watched = FWatcher->directories();
    for (const QString& path : watched) {
        if (!wanted.contains(path)) {
            FWatcher->removePath(path);
        }
    }
    // Where a folder cannot be watched, Timer1's check of the stamps stands in.
    FWatching = !wanted.isEmpty();
    for (const QString& path : wanted) {
        if (!watched.contains(path)) {
            FWatching = FWatcher->addPath(path) && FWatching;
        }
    }
}

void TVideoLoggerFrm::ClearForm() {
    FModel->Clear();
    FCache.Clear();
    UpdatePlayButton();
}

void TVideoLoggerFrm::SelectRow(int Row) {
    lvVideoList->selectionModel()->setCurrentIndex(
        FModel->index(Row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

int TVideoLoggerFrm::SelectedIndex() const {
    const QItemSelection selection = lvVideoList->selectionModel()->selection();
    if (selection.isEmpty()) {
        return -1;
    }
    return selection.first().top();
}

void TVideoLoggerFrm::UpdatePlayButton() {
    const int index = SelectedIndex();
    btnPlayVideo->setEnabled(index >= 0 && index < FModel->rowCount());
}

void TVideoLoggerFrm::lvVideoListClick() { UpdatePlayButton(); }

void TVideoLoggerFrm::lvVideoListDblClick() { btnPlayVideoClick(); }

void TVideoLoggerFrm::btnPlayVideoClick() {
    const int index = SelectedIndex();
    if (index < 0 || index >= FModel->rowCount()) {
        return;
    }
    FPlayingFileName = Records()[static_cast<size_t>(index)]->FileName;
    QPointer<TVideoLoggerFrm> self(this);
    ShowVideoLogPreviewForm(
        this, FPlayingFileName, 0,
        [self](std::string& FileName) { return self && self->StepFileName(-1, FileName); },
        [self](std::string& FileName) { return self && self->StepFileName(1, FileName); });
}

bool TVideoLoggerFrm::StepFileName(int Step, std::string& FileName) {
    const TVideoLogInfoList& records = Records();
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i]->FileName != FPlayingFileName) {
            continue;
        }
        const long next = static_cast<long>(i) + Step;
        if (next < 0 || next >= static_cast<long>(records.size())) {
            return false;
        }
        FPlayingFileName = records[static_cast<size_t>(next)]->FileName;
        FileName = FPlayingFileName;
        SelectRow(static_cast<int>(next));
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
    ClearForm();
    RefreshForm();
    RepairShownFolder();
    if (FModel->rowCount() > 0) {
        SelectRow(0);
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
    FWatchDelay->stop();
    if (!FWatcher->directories().isEmpty()) {
        FWatcher->removePaths(FWatcher->directories());
    }
    FModel->Clear();
    FCache.Clear();
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
