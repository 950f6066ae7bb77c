#pragma once

#include <QDialog>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QToolButton;
class QWidget;
class TPreviewPlayer;
class TVNTTrackBar;

// Fills FileName with the recording to show next (or previous); false or an empty name when
// there is none.
using TGetFileNameCallback = std::function<bool(std::string& FileName)>;

// The modal window in which one recording plays: the video area, the position bar with its time
// text and the transport buttons, in a light (0) or dark (1) skin. Previous and next buttons
// appear when their callbacks are set and replace the file in the same engine.
class TVideoLogPreviewFrm : public QDialog {
    Q_OBJECT
public:
    static constexpr int GlyphCount = 7;

    explicit TVideoLogPreviewFrm(QWidget* AOwner = nullptr);
    ~TVideoLogPreviewFrm() override;

    bool SetFileName(const std::string& FileName);
    const std::string& FileName() const { return FFileName; }
    bool SetNextFileNameCallback(TGetFileNameCallback Callback);
    bool SetPreviousFileNameCallback(TGetFileNameCallback Callback);
    void ChangeSkinID(uint32_t SkinID);
    uint32_t SkinID() const { return FSkinID; }
    void RefreshImageList();

    // Event handlers, named after their component and event.
    void FormShow();
    void FormResize();
    void btnNextClick();
    void btnPreviousClick();

    TPreviewPlayer* PreviewPlayer() const { return FPreviewPlayer.get(); }
    QWidget* PreviewPanel() const { return pnPreview; }
    TVNTTrackBar* PositionBar() const { return tbPosition; }
    QToolButton* Button(int GlyphIndex) const;
    // The message shown in the video area when the file cannot be played.
    QLabel* MessageLabel() const { return lbMessage; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateComponents();
    void CreatePreviewPlayer();
    void PlaceComponents();
    void ShowLoadFailure(bool Failed);
    void StepTo(const TGetFileNameCallback& Callback);

    QWidget* pnPreview = nullptr;
    TVNTTrackBar* tbPosition = nullptr;
    QToolButton* btnPlay = nullptr;
    QToolButton* btnStop = nullptr;
    QToolButton* btnPause = nullptr;
    QToolButton* btnStepBackward = nullptr;
    QToolButton* btnStepForward = nullptr;
    QToolButton* btnPrevious = nullptr;
    QToolButton* btnNext = nullptr;
    QLabel* lbMessage = nullptr;

    uint32_t FSkinID = 0;
    std::unique_ptr<TPreviewPlayer> FPreviewPlayer;
    std::string FFileName;
    std::array<QIcon, GlyphCount> FImageList;
    TGetFileNameCallback FPrevCallback;
    TGetFileNameCallback FNextCallback;
    bool FShownOnce = false;
};

// Shows FileName in a new preview window owned by AOwner with the skin, modally. The window is
// destroyed when it closes, which also closes the file. Always 0; a failure logs
// "Error in VideoLogPreviewForm::ShowVideoLogPreviewForm call...".
int ShowVideoLogPreviewForm(QWidget* AOwner, const std::string& FileName, uint32_t SkinID,
                            TGetFileNameCallback Previous = {}, TGetFileNameCallback Next = {});

// Runs the window instead of QDialog::exec, so tests can drive it; returns the previous hook.
using TVideoLogPreviewFormRunHook = std::function<int(TVideoLogPreviewFrm& Form)>;
TVideoLogPreviewFormRunHook SetVideoLogPreviewFormRunHook(TVideoLogPreviewFormRunHook Hook);
