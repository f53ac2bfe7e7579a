// The chart's one-pixel lines (frame, axis lines, ticks, the legend's border, thin series)
// on any device. On an image of widget pixels they are Qt's thinnest lines, whose pixels the
// layout was worked out for. Where one widget pixel is several device pixels they are one
// widget pixel wide and drawn at the device's resolution, so lines that touch at 1x still
// touch and none is a blur; on a vector device they are one unit wide through pixel centres.
#pragma once

#include <QColor>
#include <QPoint>
#include <QPointF>
#include <vector>

class QPainter;

namespace qtmchart {

// True for a raster image whose pixels are widget pixels: lines go as they always did.
bool DrawsWidgetPixels(const QPainter* dc);
// True for a device that is no image (an SVG document): lines are drawn as shapes that scale.
bool DrawsVectors(const QPainter* dc);

// A line through the pixels from and to, both included; the painter's pen is changed.
void DrawPixelLine(QPainter* dc, const QColor& colour, QPoint from, QPoint to);
void DrawPixelPolyline(QPainter* dc, const QColor& colour, const QPoint* points, int count);

// Where, in widget pixels, a thin serie's line is drawn again so that it is one widget pixel
// wide on dc's device: (0, 0) alone on widget pixels; on an image of ratio r, every
// (i / r, j / r) for i, j below r rounded up, so the thinnest line's device pixels fill whole
// widget pixels' worth of width without being smoothed; on a vector device (0.5, 0.5) alone,
// through the pixels' centres as the frame is.
std::vector<QPointF> ThinLineOffsets(const QPainter* dc);

}  // namespace qtmchart
