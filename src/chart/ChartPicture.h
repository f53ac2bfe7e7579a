// Pictures of a chart for files: a raster image drawn at a chosen pixel ratio (lines and
// texts at that resolution, not an enlarged screen image) and an SVG document.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class CChartCtrl;

namespace qtmchart {

// The chart at its size on screen times ratio, in pixels; the image says that ratio.
QImage ChartImage(CChartCtrl& chart, qreal ratio);

// The chart as an SVG document of its size on screen; title names the picture.
QByteArray ChartSvg(CChartCtrl& chart, const QString& title);

}  // namespace qtmchart
