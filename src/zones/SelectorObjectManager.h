#pragma once

#include <QMenu>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <vector>

#include "platform/Rect.h"
#include "zones/SelectorObject.h"

class QWidget;

// The zone overlays of one camera picture: creates them with common defaults, keeps their
// identifiers and numbers running 1, 2, 3, ... without gaps, keeps one zone selected under the
// mouse, removes, locks and stretches them, and converts between a zone's control bounds and
// its rectangle in picture pixels. GUI thread only.
//
// The zones are children of the picture's parent; the manager deletes them when they are
// removed or when it goes, and copes with a parent that deleted them first.
class TSelectorObjectManager {
public:
    explicit TSelectorObjectManager(int32_t MaxObjects);
    ~TSelectorObjectManager();
    TSelectorObjectManager(const TSelectorObjectManager&) = delete;
    TSelectorObjectManager& operator=(const TSelectorObjectManager&) = delete;

    int32_t Count() const { return static_cast<int32_t>(FSelectorObjectList.size()); }
    int32_t DefaultSelectorPointSize() const { return FDefaultSelectorPointSize; }
    int32_t DefaultWidth() const { return FDefaultWidth; }
    int32_t DefaultHeight() const { return FDefaultHeight; }
    int32_t DefaultAlphaBlend() const { return FDefaultAlphaBlend; }
    bool DefaultUseFill() const { return FDefaultUseFillColor; }
    bool DefaultUseGrid() const { return FDefaultUseGrid; }
    bool DefaultUse32bitColor() const { return FDefaultUse32bitFillGrid; }
    TZoneColor DefaultFillColor() const { return FDefaultFillColor; }
    TZoneColor DefaultGridColor() const { return FDefaultGridColor; }
    QString DefaultObjectIDString() const { return FDefaultObjectID; }

    // Adds a zone over the picture AOwnerImage with its top-left corner at picture pixel
    // (OriginX, OriginY); false when the maximum is reached. The new zone is selected; the
    // others keep their selection.
    bool AddSelector(QWidget* AOwnerImage, int32_t OriginX, int32_t OriginY);
    bool RemoveSelector(int32_t Index);
    bool RemoveSelectedSelectors();
    bool RemoveAllSelectors();
    bool DeselectAll();
    bool LockSelector(int32_t Index, bool Lock);
    bool LockAllSelectors(bool Lock);
    TSelectorObject* GetSelectorObject(int32_t Index) const;

    // The zone in picture pixels (Right and Bottom exclusive); with SwapTopToBottom the top is
    // measured from the picture's bottom, for bottom-up frames.
    bool GetActualRectangle(int32_t Index, TRect& aRect, bool SwapTopToBottom) const;
    // Places the zone itself at aRect in the parent's coordinates.
    bool SetRectangle(int32_t Index, const TRect& aRect);
    // The zone control's own bounds in the parent's coordinates.
    bool GetRectangle(int32_t Index, TRect& aRect) const;
    bool SetActualRectangle(int32_t Index, const TRect& aRect);

    // Every zone follows its picture; a zone without one follows the given picture rectangle.
    bool Stretch(int32_t ImageLeft, int32_t ImageTop, int32_t ImageWidth, int32_t ImageHeight);
    bool RefreshImageOrigin();

    // Defaults for zones added later.
    bool SetDefaultSelectorSize(int32_t DefWidth, int32_t DefHeight, int32_t DefPointSize);
    bool SetDefaultSelectorColor(bool UseFillColor, TZoneColor FillColor);
    bool SetDefaultSelectorGrid(bool UseGrid, TZoneColor GridColor);
    bool SetDefaultSelectorAlpha(bool Use32BitColor, int32_t AlphaBlend);
    // The identifier pattern takes one integer; a pattern that cannot format one is refused.
    bool SetDefaultObjectIDString(const QString& NewObjectIDString);

    bool SetMovementCallback(TSOMovementCallback Callback);
    bool SetSelectionCallback(TSOSelectionCallback Callback);
    bool SetMouseClickCallback(TSOMouseClickCallback Callback);
    bool SetPopupMenu(QMenu* Menu);

    // Every zone reports its clicks here: the clicked zone becomes the only selected one.
    bool SelectorMouseClick(const QString& ObjectID, TShiftState Shift, int32_t X, int32_t Y);

private:
    bool ValidIndex(int32_t Index) const;
    void RenumberSelectors();
    QString FormatID(int32_t Number) const;
    void ApplyDefaults(TSelectorObject* Zone, int32_t Index);

    int32_t FMaxObjects;
    std::vector<QPointer<TSelectorObject>> FSelectorObjectList;
    TSOMovementCallback FSOMovementCallback;
    TSOSelectionCallback FSOSelectionCallback;
    TSOMouseClickCallback FSOMouseClickCallback;
    QPointer<QMenu> FSOPopupMenu;
    QString FDefaultObjectID = QStringLiteral("ObjectID %d");
    int32_t FDefaultSelectorPointSize = 9;
    int32_t FDefaultWidth = 100;
    int32_t FDefaultHeight = 100;
    int32_t FDefaultAlphaBlend = 128;
    bool FDefaultUseFillColor = true;
    bool FDefaultUseGrid = true;
    bool FDefaultUse32bitFillGrid = true;
    TZoneColor FDefaultFillColor = ZoneRGB(255, 102, 102);
    TZoneColor FDefaultGridColor = ZoneRGB(0, 255, 0);
};
