#include "controller/PictureLayout.h"

#include "zones/ZoneGeometry.h"

double PictureAspectRatio(int32_t SelectedWidth) {
    return SelectedWidth > 720 ? 16.0 / 9.0 : 4.0 / 3.0;
}

TPicturePlacement PlacePicture(int32_t SelectedWidth, int32_t OuterWidth, int32_t OuterHeight,
                               int32_t ClientWidth, int32_t ClientHeight) {
    const double r = PictureAspectRatio(SelectedWidth);
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
