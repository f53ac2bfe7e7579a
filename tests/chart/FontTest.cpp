// ChartFont keeps the sizes and layouts of the texts it drew; what it paints and measures must
// stay what an uncached drawText and QFontMetrics give, also after a change of font.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include "chart/ChartFont.h"

namespace {

QImage Blank() {
    QImage image(220, 70, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    return image;
}

}  // namespace

TEST(FontTest, CachedTextPaintsTheSamePixelsAsPlainDrawText) {
    const char* faces[] = {"Microsoft Sans Serif", "Times New Roman"};
    const QString texts[] = {"0.05", "-1000", "Lux Wave", "y(P) gjq", "<b>1</b>"};
    for (const char* face : faces) {
        for (int size : {80, 100, 140}) {
            ChartFont font(face, size);
            for (const QString& text : texts) {
                QImage cached = Blank();
                QImage plain = Blank();
                {
                    QPainter p(&cached);
                    p.setPen(Qt::black);
                    font.DrawTextAt(&p, 10, 6, text);   // measured and laid out
                    font.DrawTextAt(&p, 10, 36, text);  // from the cache
                }
                {
                    QPainter p(&plain);
                    p.setPen(Qt::black);
                    p.setFont(font.GetQFont());
                    const QFontMetrics fm(font.GetQFont(), &plain);
                    p.drawText(10, 6 + fm.ascent(), text);
                    p.drawText(10, 36 + fm.ascent(), text);
                }
                EXPECT_EQ(cached, plain)
                    << face << " " << size << " '" << text.toStdString() << "'";
            }
        }
    }
}

TEST(FontTest, SizesFollowAChangeOfFontAndTheCacheStaysBounded) {
    QImage image = Blank();
    QPainter p(&image);
    ChartFont font("Microsoft Sans Serif", 80);
    const QSize small = font.TextExtent(&p, "1000");
    EXPECT_EQ(small, QSize(QFontMetrics(font.GetQFont(), &image).horizontalAdvance("1000"),
                           QFontMetrics(font.GetQFont(), &image).height()));
    font.SetFont("Microsoft Sans Serif", 240);
    const QSize large = font.TextExtent(&p, "1000");
    EXPECT_GT(large.width(), 2 * small.width());
    EXPECT_GT(large.height(), 2 * small.height());

    // Panning makes new labels all the time; the kept measurements must not pile up.
    for (int i = 0; i < 3 * ChartFont::kMaxCachedTexts; ++i) {
        font.TextExtent(&p, QString::number(i));
        ASSERT_LE(font.CachedTextCount(), ChartFont::kMaxCachedTexts);
    }
}
