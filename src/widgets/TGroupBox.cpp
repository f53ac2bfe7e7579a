#include "widgets/TGroupBox.h"

#include <QPainter>

#include "widgets/GroupFrame.h"

namespace {

qtmui::CaptionAlign AlignOf(Qt::Alignment alignment) {
    if (alignment & Qt::AlignHCenter) return qtmui::CaptionAlign::Center;
    if (alignment & Qt::AlignRight) return qtmui::CaptionAlign::Right;
    return qtmui::CaptionAlign::Left;
}

}  // namespace

CTGroupBox::CTGroupBox(QWidget* parent) : QGroupBox(parent) {}

CTGroupBox::CTGroupBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void CTGroupBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.save();

    // The caption always carries a space on each side, so even an empty title leaves a gap.
    const QString caption = QStringLiteral(" %1 ").arg(title());
    const QFontMetrics metrics(font());
    const int w = metrics.horizontalAdvance(caption);
    const int h = metrics.height();

    const qtmui::EdgeRect rect{0, 0, width(), height()};
    const qtmui::GroupFrameGeometry g =
        qtmui::ComputeGroupFrame(rect, w, h, AlignOf(alignment()), isFlat());

    const QPalette& pal = palette();
    const QColor dark = isFlat() ? QColor(Qt::black) : pal.color(QPalette::Normal, QPalette::Dark);
    const QColor light = pal.color(QPalette::Normal, QPalette::Light);
    painter.setPen(QPen(dark, 1));
    for (const qtmui::Polyline& line : g.darkPass) {
        painter.drawPolyline(line.data(), static_cast<int>(line.size()));
    }
    painter.setPen(QPen(light, 1));
    for (const qtmui::Polyline& line : g.lightPass) {
        painter.drawPolyline(line.data(), static_cast<int>(line.size()));
    }

    painter.setFont(font());
    if (isEnabled()) {
        painter.setPen(pal.color(QPalette::Normal, QPalette::WindowText));
        const QRect textRect(g.captionLeft, g.frameY - h / 2, w, h);
        painter.drawText(
            textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
            caption);
    } else {
        // Embossed: the light copy one pixel down and right, the shadow copy on top.
        const QRect textRect(g.captionLeft, g.frameY - h / 2, w, h);
        painter.setPen(light);
        const int flags =
            Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
        painter.drawText(textRect.translated(1, 1), flags, caption);
        painter.setPen(pal.color(QPalette::Normal, QPalette::Dark));
        painter.drawText(textRect, flags, caption);
    }
    painter.restore();
}
