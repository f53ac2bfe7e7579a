#include "chart/ChartPicture.h"

#include <QBuffer>
#include <QPainter>
#include <QSvgGenerator>
#include <QtMath>

#include "chart/ChartCtrl.h"

namespace qtmchart {

QImage ChartImage(CChartCtrl& chart, qreal ratio) {
    if (chart.width() <= 0 || chart.height() <= 0 || !(ratio > 0)) return QImage();
    QImage image(qCeil(chart.width() * ratio), qCeil(chart.height() * ratio),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    // Texts are measured on the image drawn into: at the screen image's resolution they
    // take the room they take on screen, so the picture is laid out as the chart is.
    if (const QImage* screen = chart.GetBackgroundImage()) {
        image.setDotsPerMeterX(screen->dotsPerMeterX());
        image.setDotsPerMeterY(screen->dotsPerMeterY());
    }
    QPainter painter(&image);
    chart.RenderTo(&painter);
    return image;
}

QByteArray ChartSvg(CChartCtrl& chart, const QString& title) {
    QByteArray bytes;
    if (chart.width() <= 0 || chart.height() <= 0) return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(chart.size());
    svg.setViewBox(QRect(QPoint(0, 0), chart.size()));
    svg.setTitle(title);
    // Measured at the screen image's resolution, the texts fit the layout drawn around them.
    const QImage* screen = chart.GetBackgroundImage();
    svg.setResolution(screen != nullptr ? screen->logicalDpiX() : chart.logicalDpiX());
    QPainter painter(&svg);
    chart.RenderTo(&painter);
    painter.end();
    return bytes;
}

}  // namespace qtmchart
