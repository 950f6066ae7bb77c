#include "zones/SelectorObjectManager.h"

#include <QMenu>
#include <QWidget>

#include <string>

#include "platform/Diagnostics.h"
#include "zones/ObjectIDFormat.h"

TSelectorObjectManager::TSelectorObjectManager(int32_t MaxObjects) : FMaxObjects(MaxObjects) {}

TSelectorObjectManager::~TSelectorObjectManager() {
    RemoveAllSelectors();
}

bool TSelectorObjectManager::ValidIndex(int32_t Index) const {
    return Index >= 0 && Index < Count() && FSelectorObjectList[Index];
}

QString TSelectorObjectManager::FormatID(int32_t Number) const {
    std::string text;
    if (!FormatObjectID(FDefaultObjectID.toStdString(), Number, text)) {
        return FDefaultObjectID;
    }
    return QString::fromStdString(text);
}

void TSelectorObjectManager::RenumberSelectors() {
    for (int32_t i = 0; i < Count(); ++i) {
        if (TSelectorObject* zone = FSelectorObjectList[i]) {
            zone->SetObjectID(FormatID(i + 1));
            zone->SetObjectIDNumber(i + 1);
        }
    }
}

void TSelectorObjectManager::ApplyDefaults(TSelectorObject* Zone, int32_t Index) {
    Zone->raise();
    Zone->resize(FDefaultWidth, FDefaultHeight);
    Zone->SetIsSelected(true);
    Zone->SetSelectorPointSize(FDefaultSelectorPointSize);
    Zone->SetUseFillColor(FDefaultUseFillColor);
    Zone->SetFillColor(FDefaultFillColor);
    Zone->SetUseGrid(FDefaultUseGrid);
    Zone->SetGridColor(FDefaultGridColor);
    Zone->SetUse32bitFillGrid(FDefaultUse32bitFillGrid);
    Zone->SetAlphaValue(static_cast<uint8_t>(FDefaultAlphaBlend & 0xFF));
    Zone->SetObjectID(FormatID(Index + 1));
    Zone->SetObjectIDNumber(Index + 1);
    if (FSOMovementCallback) {
        Zone->SetMovementCallback(FSOMovementCallback);
    }
    if (FSOSelectionCallback) {
        Zone->SetSelectionCallback(FSOSelectionCallback);
    }
    Zone->SetMouseClickCallback(
        [this](const QString& ObjectID, TShiftState Shift, int32_t X, int32_t Y) {
            return SelectorMouseClick(ObjectID, Shift, X, Y);
        });
    if (FSOPopupMenu) {
        Zone->SetPopupMenu(FSOPopupMenu);
    }
}

bool TSelectorObjectManager::AddSelector(QWidget* AOwnerImage, int32_t OriginX, int32_t OriginY) {
    try {
        if (Count() >= FMaxObjects) {
            return false;
        }
        auto* zone =
            new TSelectorObject(AOwnerImage, AOwnerImage ? AOwnerImage->parentWidget() : nullptr);
        FSelectorObjectList.emplace_back(zone);
        ApplyDefaults(zone, Count() - 1);
        zone->PositionToOwnerOrigin(OriginX, OriginY, false);
        if (zone->parentWidget() && zone->parentWidget()->isVisible()) {
            zone->show();
        }
        RenumberSelectors();
        return true;
    } catch (...) {
        LogMessage("Error in TSelectorObjectManager.AddSelector call...");
        return false;
    }
}

bool TSelectorObjectManager::RemoveSelector(int32_t Index) {
    try {
        if (Index < 0 || Index >= Count()) {
            return false;
        }
        delete FSelectorObjectList[Index].data();
        FSelectorObjectList.erase(FSelectorObjectList.begin() + Index);
        RenumberSelectors();
        return true;
    } catch (...) {
        LogMessage("Error in TSelectorObjectManager.RemoveSelector call...");
        return false;
    }
}

bool TSelectorObjectManager::RemoveSelectedSelectors() {
    try {
        for (int32_t i = Count() - 1; i >= 0; --i) {
            TSelectorObject* zone = FSelectorObjectList[i];
            if (zone && zone->IsSelected()) {
                delete zone;
                FSelectorObjectList.erase(FSelectorObjectList.begin() + i);
            }
        }
        RenumberSelectors();
        return true;
    } catch (...) {
        LogMessage("Error in TSelectorObjectManager.RemoveSelectedSelectors call...");
        return false;
    }
}

bool TSelectorObjectManager::RemoveAllSelectors() {
    try {
        for (auto& zone : FSelectorObjectList) {
            delete zone.data();
        }
        FSelectorObjectList.clear();
        return true;
    } catch (...) {
        LogMessage("Error in TSelectorObjectManager.RemoveAllSelectors call...");
        return false;
    }
}

bool TSelectorObjectManager::DeselectAll() {
    for (auto& zone : FSelectorObjectList) {
        if (zone) {
            zone->SetIsSelected(false);
        }
    }
    return true;
}

bool TSelectorObjectManager::LockSelector(int32_t Index, bool Lock) {
    if (!ValidIndex(Index)) {
        return false;
    }
    FSelectorObjectList[Index]->SetLocked(Lock);
    return true;
}

bool TSelectorObjectManager::LockAllSelectors(bool Lock) {
    for (auto& zone : FSelectorObjectList) {
        if (zone) {
            zone->SetLocked(Lock);
        }
    }
    return true;
}

TSelectorObject* TSelectorObjectManager::GetSelectorObject(int32_t Index) const {
    return ValidIndex(Index) ? FSelectorObjectList[Index].data() : nullptr;
}

bool TSelectorObjectManager::GetActualRectangle(int32_t Index, TRect& aRect,
                                                bool SwapTopToBottom) const {
    aRect = TRect{};
    if (!ValidIndex(Index)) {
        return false;
    }
    const TSelectorObject* zone = FSelectorObjectList[Index];
    aRect.Left = zone->ActualLeft();
    aRect.Top = SwapTopToBottom ? zone->ActualTopSwapped() : zone->ActualTop();
    aRect.Right = aRect.Left + zone->ActualWidth();
    aRect.Bottom = aRect.Top + zone->ActualHeight();
    return true;
}

bool TSelectorObjectManager::SetRectangle(int32_t Index, const TRect& aRect) {
    if (!ValidIndex(Index)) {
        return false;
    }
    FSelectorObjectList[Index]->SetRectangle(static_cast<int32_t>(aRect.Width()),
                                             static_cast<int32_t>(aRect.Height()), aRect.Left,
                                             aRect.Top, true);
    return true;
}

bool TSelectorObjectManager::GetRectangle(int32_t Index, TRect& aRect) const {
    aRect = TRect{};
    if (!ValidIndex(Index)) {
        return false;
    }
    const TSelectorObject* zone = FSelectorObjectList[Index];
    aRect = TRect{zone->x(), zone->y(), zone->x() + zone->width(), zone->y() + zone->height()};
    return true;
}

bool TSelectorObjectManager::SetActualRectangle(int32_t Index, const TRect& aRect) {
    if (!ValidIndex(Index)) {
        return false;
    }
    FSelectorObjectList[Index]->SetRectangle(static_cast<int32_t>(aRect.Width()),
                                             static_cast<int32_t>(aRect.Height()), aRect.Left,
                                             aRect.Top, false);
    return true;
}

bool TSelectorObjectManager::Stretch(int32_t ImageLeft, int32_t ImageTop, int32_t ImageWidth,
                                     int32_t ImageHeight) {
    try {
        for (auto& zone : FSelectorObjectList) {
            if (zone && !zone->StretchToImage()) {
                zone->StretchToCustomImage(ImageLeft, ImageTop, ImageWidth, ImageHeight);
            }
        }
        return true;
    } catch (...) {
        LogMessage("Error in TSelectorObjectManager.Stretch call...");
        return false;
    }
}

bool TSelectorObjectManager::RefreshImageOrigin() {
    for (auto& zone : FSelectorObjectList) {
        if (zone) {
            zone->RefreshImageOrigin();
        }
    }
    return true;
}

bool TSelectorObjectManager::SetDefaultSelectorSize(int32_t DefWidth, int32_t DefHeight,
                                                    int32_t DefPointSize) {
    FDefaultWidth = DefWidth;
    FDefaultHeight = DefHeight;
    FDefaultSelectorPointSize = DefPointSize;
    return true;
}

bool TSelectorObjectManager::SetDefaultSelectorColor(bool UseFillColor, TZoneColor FillColor) {
    FDefaultUseFillColor = UseFillColor;
    FDefaultFillColor = FillColor;
    return true;
}

bool TSelectorObjectManager::SetDefaultSelectorGrid(bool UseGrid, TZoneColor GridColor) {
    FDefaultUseGrid = UseGrid;
    FDefaultGridColor = GridColor;
    return true;
}

bool TSelectorObjectManager::SetDefaultSelectorAlpha(bool Use32BitColor, int32_t AlphaBlend) {
    FDefaultUse32bitFillGrid = Use32BitColor;
    FDefaultAlphaBlend = AlphaBlend;
    return true;
}

bool TSelectorObjectManager::SetDefaultObjectIDString(const QString& NewObjectIDString) {
    std::string probe;
    if (!FormatObjectID(NewObjectIDString.toStdString(), 0, probe)) {
        LogMessage("Error in TSelectorObjectManager.SetDefaultObjectIDString call...");
        return false;
    }
    FDefaultObjectID = NewObjectIDString;
    return true;
}

bool TSelectorObjectManager::SetMovementCallback(TSOMovementCallback Callback) {
    FSOMovementCallback = std::move(Callback);
    for (auto& zone : FSelectorObjectList) {
        if (zone) {
            zone->SetMovementCallback(FSOMovementCallback);
        }
    }
    return true;
}

bool TSelectorObjectManager::SetSelectionCallback(TSOSelectionCallback Callback) {
    FSOSelectionCallback = std::move(Callback);
    for (auto& zone : FSelectorObjectList) {
        if (zone) {
            zone->SetSelectionCallback(FSOSelectionCallback);
        }
    }
    return true;
}

bool TSelectorObjectManager::SetMouseClickCallback(TSOMouseClickCallback Callback) {
    FSOMouseClickCallback = std::move(Callback);
    return true;
}

bool TSelectorObjectManager::SetPopupMenu(QMenu* Menu) {
    FSOPopupMenu = Menu;
    for (auto& zone : FSelectorObjectList) {
        if (zone) {
            zone->SetPopupMenu(Menu);
        }
    }
    return true;
}

bool TSelectorObjectManager::SelectorMouseClick(const QString& ObjectID, TShiftState Shift,
                                                int32_t X, int32_t Y) {
    try {
        for (auto& zone : FSelectorObjectList) {
            if (zone && zone->ObjectID() != ObjectID) {
                zone->SetIsSelected(false);
            }
        }
        if (FSOMouseClickCallback) {
            return FSOMouseClickCallback(ObjectID, Shift, X, Y);
        }
        return true;
    } catch (...) {
        LogMessage("Error in TSelectorObjectManager.SelectorMouseClick call...");
        return false;
    }
}
