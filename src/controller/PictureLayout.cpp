#include "controller/PictureLayout.h"

#include "zones/ZoneGeometry.h"

double PictureAspectRatio(int32_t Width, int32_t Height, uint32_t PictAspectX,
                          uint32_t PictAspectY) {
    if (PictAspectX > 0 && PictAspectY > 0) {
        return static_cast<double>(PictAspectX) / PictAspectY;
    }
    if (Width > 0 && Height > 0) {
        return static_cast<double>(Width) / Height;
    }
    return 4.0 / 3.0;
}

TPicturePlacement PlacePicture(double Ratio, int32_t OuterWidth, int32_t OuterHeight,
                               int32_t ClientWidth, int32_t ClientHeight) {
    const double r = Ratio > 0 ? Ratio : 4.0 / 3.0;
    TPicturePlacement p;
    const bool wider = OuterHeight <= 0 || static_cast<double>(OuterWidth) / OuterHeight >= r;
    if (wider) {
        p.Height = ClientHeight;
        p.Width = RoundHalfEven(p.Height * r);
        p.Top = 0;
        p.Left = (ClientWidth - p.Width) / 2;
    } else {
        p.Width = ClientWidth;
        p.Height = RoundHalfEven(ClientWidth / r);
        p.Left = 0;
        p.Top = (ClientHeight - p.Height) / 2;
    }
    return p;
}
