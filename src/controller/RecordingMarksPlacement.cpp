#include "controller/RecordingMarksPlacement.h"

#include <algorithm>
#include <array>

namespace {

// The scan's step in pixels once the corners are taken.
constexpr int kScanStep = 4;

bool ClearOf(const QRect& Place, const std::vector<QRect>& Areas) {
    return std::none_of(Areas.begin(), Areas.end(),
                        [&](const QRect& Area) { return Area.intersects(Place); });
}

}  // namespace

std::optional<QPoint> PlaceRecordingMarks(QSize Marks, QSize Picture, int Margin,
                                          const std::vector<QRect>& Zones,
                                          const std::vector<QRect>& Captions) {
    const int right = Picture.width() - Marks.width() - Margin;
    const int bottom = Picture.height() - Marks.height() - Margin;
    if (Marks.isEmpty() || right < Margin || bottom < Margin) {
        return std::nullopt;
    }
    const std::array<QPoint, 4> corners = {QPoint(right, Margin), QPoint(right, bottom),
                                           QPoint(Margin, bottom), QPoint(Margin, Margin)};
    for (const std::vector<QRect>* avoid : {&Zones, &Captions}) {
        for (const QPoint& corner : corners) {
            if (ClearOf(QRect(corner, Marks), Captions) && ClearOf(QRect(corner, Marks), *avoid)) {
                return corner;
            }
        }
    }
    for (int y = Margin; y <= bottom; y += kScanStep) {
        for (int x = right; x >= Margin; x -= kScanStep) {
            if (ClearOf(QRect(QPoint(x, y), Marks), Captions)) {
                return QPoint(x, y);
            }
        }
    }
    return std::nullopt;
}
