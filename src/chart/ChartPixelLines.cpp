#include "chart/ChartPixelLines.h"

#include <QPaintEngine>
#include <QPainter>
#include <QtMath>

namespace qtmchart {

namespace {

qreal RatioOf(const QPainter* dc) {
    const QPaintDevice* device = dc != nullptr ? dc->device() : nullptr;
    return device != nullptr ? device->devicePixelRatioF() : 1.0;
}

bool IsRaster(const QPainter* dc) {
    const QPaintEngine* engine = dc != nullptr ? dc->paintEngine() : nullptr;
    return engine != nullptr && engine->type() == QPaintEngine::Raster;
}

// One widget pixel wide through the pixels' centres; the square ends reach the outer edges
// of the end pixels, as the thinnest line covers them.
QPen CentredPen(const QColor& colour) {
    QPen pen(colour, 1.0);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QPointF Centre(QPoint p) {
    return QPointF(p.x() + 0.5, p.y() + 0.5);
}

}  // namespace

bool DrawsWidgetPixels(const QPainter* dc) {
    return IsRaster(dc) && RatioOf(dc) == 1.0;
}

bool DrawsVectors(const QPainter* dc) {
    return dc != nullptr && dc->paintEngine() != nullptr && !IsRaster(dc);
}

void DrawPixelLine(QPainter* dc, const QColor& colour, QPoint from, QPoint to) {
    if (dc == nullptr) return;
    if (DrawsWidgetPixels(dc)) {
        dc->setPen(QPen(colour, 0));
        dc->drawLine(from, to);
        return;
    }
    dc->setPen(CentredPen(colour));
    dc->drawLine(Centre(from), Centre(to));
}

void DrawPixelPolyline(QPainter* dc, const QColor& colour, const QPoint* points, int count) {
    if (dc == nullptr || points == nullptr || count < 2) return;
    if (DrawsWidgetPixels(dc)) {
        dc->setPen(QPen(colour, 0));
        dc->drawPolyline(points, count);
        return;
    }
    std::vector<QPointF> centres;
    centres.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        centres.push_back(Centre(points[i]));
    dc->setPen(CentredPen(colour));
    dc->drawPolyline(centres.data(), count);
}

std::vector<QPointF> ThinLineOffsets(const QPainter* dc) {
    if (DrawsVectors(dc)) return {QPointF(0.5, 0.5)};
    const qreal ratio = RatioOf(dc);
    if (ratio <= 1.0) return {QPointF(0, 0)};
    // A wide pen through thousands of points costs a hundred times more than these passes.
    const int steps = qCeil(ratio);
    std::vector<QPointF> offsets;
    offsets.reserve(static_cast<std::size_t>(steps * steps));
    for (int i = 0; i < steps; ++i) {
        for (int j = 0; j < steps; ++j)
            offsets.emplace_back(i / ratio, j / ratio);
    }
    return offsets;
}

}  // namespace qtmchart
