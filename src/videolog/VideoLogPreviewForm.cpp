#include "videolog/VideoLogPreviewForm.h"

#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>

#include "localisation/UiText.h"
#include "platform/Diagnostics.h"
#include "ui/DialogLayout.h"
#include "videolog/ControlColors.h"
#include "videolog/PreviewGlyphs.h"
#include "videolog/PreviewPlayer.h"
#include "videolog/TrackBar.h"

namespace {

TVideoLogPreviewFormRunHook gRunHook;

// Design sizes of the client area; the controls keep their distances to the edges they are
// anchored to.
constexpr int DesignWidth = 336;
constexpr int DesignHeight = 309;
constexpr int ButtonTop = 276;
constexpr int BarTop = 248;

struct TSkin {
    TColor Back;
    TColor Selection;
    TColor Slider;
    TColor Text;
};

// The skins' colours, 0xBBGGRR: light and dark.
const TSkin Skins[2] = {
    {0xFFFFFF, 0xFF8080, 0x808080, 0x000000},
    {0x000000, 0xFF8080, 0x808080, 0xFFFFFF},
};

// The button face of the style in use, as the bar's colours are written.
TColor ButtonFace(const QWidget& widget) {
    const QColor face = widget.palette().color(QPalette::Button);
    return ColorRGB(static_cast<uint8_t>(face.red()), static_cast<uint8_t>(face.green()),
                    static_cast<uint8_t>(face.blue()));
}

QString BaseName(const std::string& FileName) {
    return QFileInfo(QString::fromStdString(FileName)).fileName();
}

}  // namespace

TVideoLogPreviewFrm::TVideoLogPreviewFrm(QWidget* AOwner) : QDialog(AOwner) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(DialogFont());
    resize(DesignWidth, DesignHeight);
    setMinimumSize(344 - 8, 276 - 19);
    CreateComponents();
    // The light skin's colours are the bar's design colours.
    ChangeSkinID(0);
    CreatePreviewPlayer();
}

TVideoLogPreviewFrm::~TVideoLogPreviewFrm() {
    // The engine goes first: it closes the file and removes its panels from pnPreview.
    FPreviewPlayer.reset();
}

void TVideoLogPreviewFrm::CreateComponents() {
    pnPreview = new QWidget(this);
    pnPreview->setObjectName("pnPreview");
    pnPreview->setAutoFillBackground(true);
    QPalette black = pnPreview->palette();
    black.setColor(QPalette::Window, Qt::black);
    pnPreview->setPalette(black);

    lbMessage = new QLabel(pnPreview);
    lbMessage->setObjectName("lbMessage");
    lbMessage->setAlignment(Qt::AlignCenter);
    lbMessage->setWordWrap(true);
    lbMessage->setStyleSheet("QLabel { color: white; background: transparent; }");
    lbMessage->hide();

    tbPosition = new TVNTTrackBar(this);
    tbPosition->setObjectName("tbPosition");
    tbPosition->SetSelStart(0);
    tbPosition->SetSelEnd(0);
    tbPosition->SetShowSelection(false);
    tbPosition->SetPosition(0);
    tbPosition->SetMaxValue(1000);
    tbPosition->SetRangeMax(0.5);
    tbPosition->SetTextVisible(true);
    tbPosition->SetBorders(true);
    tbPosition->SetSliderWidth(8);
    tbPosition->SetShowGrid(true);
    tbPosition->SetLockPosition(false);

    auto makeButton = [this](const char* name) {
        auto* button = new QToolButton(this);
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setIconSize(QSize(16, 16));
        return button;
    };
    btnPlay = makeButton("btnPlay");
    btnStop = makeButton("btnStop");
    btnPause = makeButton("btnPause");
    btnStepBackward = makeButton("btnStepBackward");
    btnStepForward = makeButton("btnStepForward");
    btnPrevious = makeButton("btnPrevious");
    btnNext = makeButton("btnNext");
    btnPrevious->hide();
    btnNext->hide();
    connect(btnPrevious, &QToolButton::clicked, this, [this] { btnPreviousClick(); });
    connect(btnNext, &QToolButton::clicked, this, [this] { btnNextClick(); });
    PlaceComponents();
}

void TVideoLogPreviewFrm::CreatePreviewPlayer() {
    FPreviewPlayer = std::make_unique<TPreviewPlayer>();
    FPreviewPlayer->PreviewInitialize(pnPreview, btnPlay, btnStop, btnPause, btnStepForward,
                                      btnStepBackward, tbPosition);
    FPreviewPlayer->SetStayInPauseMode(true);
}

void TVideoLogPreviewFrm::PlaceComponents() {
    const int w = width();
    const int h = height();
    pnPreview->setGeometry(8, 8, std::max(0, w - 16), std::max(0, h - (DesignHeight - 240)));
    lbMessage->setGeometry(8, 8, std::max(0, pnPreview->width() - 16),
                           std::max(0, pnPreview->height() - 16));
    tbPosition->setGeometry(8, h - (DesignHeight - BarTop), std::max(0, w - 16), 27);
    const int top = h - (DesignHeight - ButtonTop);
    const std::pair<QToolButton*, int> buttons[] = {
        {btnPlay, 8},           {btnStop, 54},         {btnPause, 100}, {btnStepBackward, 148},
        {btnStepForward, 194}, {btnPrevious, 242},    {btnNext, 288}};
    for (const auto& [button, left] : buttons) {
        button->setGeometry(left, top, 40, 25);
    }
}

QToolButton* TVideoLogPreviewFrm::Button(int GlyphIndex) const {
    QToolButton* const buttons[GlyphCount] = {btnPlay,        btnStop,     btnPause, btnStepBackward,
                                              btnStepForward, btnPrevious, btnNext};
    return GlyphIndex >= 0 && GlyphIndex < GlyphCount ? buttons[GlyphIndex] : nullptr;
}

bool TVideoLogPreviewFrm::SetFileName(const std::string& FileName) {
    FFileName = FileName;
    return true;
}

bool TVideoLogPreviewFrm::SetNextFileNameCallback(TGetFileNameCallback Callback) {
    FNextCallback = std::move(Callback);
    btnNext->setVisible(static_cast<bool>(FNextCallback));
    return static_cast<bool>(FNextCallback);
}

bool TVideoLogPreviewFrm::SetPreviousFileNameCallback(TGetFileNameCallback Callback) {
    FPrevCallback = std::move(Callback);
    btnPrevious->setVisible(static_cast<bool>(FPrevCallback));
    return static_cast<bool>(FPrevCallback);
}

void TVideoLogPreviewFrm::ChangeSkinID(uint32_t SkinID) {
    if (SkinID > 1) {
        return;
    }
    FSkinID = SkinID;
    const TSkin& skin = Skins[SkinID];
    tbPosition->SetBackColor(skin.Back);
    tbPosition->SetSelColor(skin.Selection);
    tbPosition->SetSliderColor(skin.Slider);
    tbPosition->SetTextColor(skin.Text);
    tbPosition->SetOutsideColor(ButtonFace(*this));
    RefreshImageList();
}

void TVideoLogPreviewFrm::RefreshImageList() {
    if (FSkinID > 1) {
        LogMessage("Error in TVideoLogPreviewFrm.RefreshImageList - wrong skinID.");
        return;
    }
    for (int i = 0; i < GlyphCount; ++i) {
        FImageList[i] = PreviewGlyph(static_cast<int>(FSkinID), i);
        Button(i)->setIcon(FImageList[i]);
    }
}

void TVideoLogPreviewFrm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!FShownOnce) {
        FShownOnce = true;
        // The window paints first; the file is opened once control is back in the loop.
        QPointer<TVideoLogPreviewFrm> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self) {
                self->FormShow();
            }
        });
    }
}

void TVideoLogPreviewFrm::ShowLoadFailure(bool Failed) {
    lbMessage->setText(Failed ? UiText(txtFileCannotBePlayed) : QString());
    lbMessage->setVisible(Failed);
    if (Failed) {
        lbMessage->raise();
    }
}

void TVideoLogPreviewFrm::FormShow() {
    try {
        setWindowTitle(BaseName(FFileName));
        ShowLoadFailure(false);
        if (!FPreviewPlayer->LoadFile(FFileName)) {
            // A fresh engine gets one more try.
            FPreviewPlayer.reset();
            CreatePreviewPlayer();
            if (!FPreviewPlayer->LoadFile(FFileName)) {
                LogMessage(
                    "Error in TVideoLogPreviewFrm.FormShow - PreviewPlayer cannot load the file.");
                ShowLoadFailure(true);
                return;
            }
        }
        activateWindow();
        btnPlay->click();
    } catch (...) {
        LogMessage("Error in TVideoLogPreviewFrm.FormShow call...");
    }
}

void TVideoLogPreviewFrm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceComponents();
    FormResize();
}

void TVideoLogPreviewFrm::FormResize() {
    try {
        if (!FPreviewPlayer || FPreviewPlayer->DSPlexavo() == nullptr) {
            return;
        }
        if (FPreviewPlayer->PositionPreviewPanels(1) < 0) {
            LogMessage(
                "Error in TVideoLogPreviewFrm.FormResize - cannot position preview panels.");
        }
        if (!FPreviewPlayer->RefreshGUI()) {
            LogMessage(
                "Error in TVideoLogPreviewFrm.FormResize - cannot position preview windows.");
        }
    } catch (...) {
        LogMessage("Error in TVideoLogPreviewFrm.FormResize call...");
    }
}

void TVideoLogPreviewFrm::StepTo(const TGetFileNameCallback& Callback) {
    if (!Callback) {
        return;
    }
    FFileName.clear();
    Callback(FFileName);
    if (FFileName.empty()) {
        return;
    }
    if (FPreviewPlayer->LoadFile(FFileName)) {
        ShowLoadFailure(false);
    } else {
        TraceMessage("TVideoLogPreviewFrm - cannot load " + FFileName);
        ShowLoadFailure(true);
    }
    setWindowTitle(BaseName(FFileName));
}

void TVideoLogPreviewFrm::btnNextClick() { StepTo(FNextCallback); }

void TVideoLogPreviewFrm::btnPreviousClick() { StepTo(FPrevCallback); }

int ShowVideoLogPreviewForm(QWidget* AOwner, const std::string& FileName, uint32_t SkinID,
                            TGetFileNameCallback Previous, TGetFileNameCallback Next) {
    try {
        QPointer<TVideoLogPreviewFrm> form = new TVideoLogPreviewFrm(AOwner);
        // Closing the window closes the recording: nothing stays open behind a closed window.
        const auto destroyForm = qScopeGuard([&form] { delete form.data(); });
        form->SetFileName(FileName);
        form->ChangeSkinID(SkinID);
        form->SetPreviousFileNameCallback(std::move(Previous));
        form->SetNextFileNameCallback(std::move(Next));
        if (gRunHook) {
            gRunHook(*form);
        } else {
            form->exec();
        }
    } catch (...) {
        LogMessage("Error in VideoLogPreviewForm::ShowVideoLogPreviewForm call...");
    }
    return 0;
}

TVideoLogPreviewFormRunHook SetVideoLogPreviewFormRunHook(TVideoLogPreviewFormRunHook Hook) {
    TVideoLogPreviewFormRunHook previous = std::move(gRunHook);
    gRunHook = std::move(Hook);
    return previous;
}
