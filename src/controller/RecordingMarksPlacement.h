#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

// Where the recording marks go on the live picture (all in the picture's coordinates). They must
// never cover a zone's caption, and are easiest to read where no zone lies at all. Corners come
// first, in this order: top right, bottom right, bottom left, top left (zones are added at the
// top left, and their captions sit at their top left): the first corner clear of every zone,
// else the first clear of every caption. When every corner has a caption under it, the first
// place clear of the captions, row by row from the top and right to left. Nothing when the
// marks fit nowhere (a picture smaller than the marks, or captions all over it).
std::optional<QPoint> PlaceRecordingMarks(QSize Marks, QSize Picture, int Margin,
                                          const std::vector<QRect>& Zones,
                                          const std::vector<QRect>& Captions);
