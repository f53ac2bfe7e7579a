#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QStringList>

#include "widgets/DialogTemplate.h"

using qtmui::DialogBaseUnits;

TEST(DialogTemplate, MulDivRoundsHalfAwayFromZero) {
    struct Case {
        int a, b, c, expected;
    };
    const Case cases[] = {
        {6, 7, 4, 11},                   // 10.5 rounds up
        {5, 7, 4, 9},                    // 8.75
        {7, 14, 8, 12},                  // 12.25
        {-6, 7, 4, -11},                 // symmetric for negatives
        {0, 7, 4, 0},    {1, 1, 0, -1},  // a zero divisor gives -1 instead of a crash
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qtmui::MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
    }
}

TEST(DialogTemplate, BaseUnitsAverageTheFiftyTwoLetters) {
    EXPECT_EQ(qtmui::BaseUnitsFromMetrics(385, 14).cx, 7);  // 7.40 → 7
    EXPECT_EQ(qtmui::BaseUnitsFromMetrics(353, 13).cx, 7);  // 6.79 → 7
    EXPECT_EQ(qtmui::BaseUnitsFromMetrics(312, 13).cx, 6);  // exactly 6
    EXPECT_EQ(qtmui::BaseUnitsFromMetrics(385, 14).cy, 14);
}

TEST(DialogTemplate, RectanglesScaleByQuarterWidthAndEighthHeight) {
    const DialogBaseUnits base{7, 14};
    struct Case {
        QRect dlu, pixels;
    };
    const Case cases[] = {
        {QRect(0, 0, 544, 392), QRect(0, 0, 952, 686)},
        {QRect(6, 7, 151, 64), QRect(11, 12, 264, 112)},  // "Serial port setup"
        {QRect(161, 7, 192, 142), QRect(282, 12, 336, 249)},
        {QRect(304, 251, 237, 139), QRect(532, 439, 415, 244)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qtmui::DluToPixels(c.dlu, base), c.pixels) << c.dlu.x() << "," << c.dlu.y();
    }
}

TEST(DialogTemplate, AdjacentRectanglesShareTheirEdge) {
    // Converting edges rather than sizes keeps touching controls touching after rounding.
    const DialogBaseUnits base{7, 13};
    for (int x = 0; x < 40; ++x) {
        const QRect a = qtmui::DluToPixels(QRect(x, x, 3, 5), base);
        const QRect b = qtmui::DluToPixels(QRect(x + 3, x + 5, 3, 5), base);
        EXPECT_EQ(a.x() + a.width(), b.x());
        EXPECT_EQ(a.y() + a.height(), b.y());
    }
}

namespace {

// Dark pixels of text drawn in a font: zero when the face that takes it has an empty glyph.
int InkOf(const QFont& font, const QString& text) {
    QImage image(240, 120, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(image.rect(), Qt::AlignCenter, text);
    }
    int ink = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            ink += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    return ink;
}

}  // namespace

TEST(DialogTemplate, NamedFacesDrawEverySignTheWindowShows) {
    // The CJK face installed here maps ℃ to an empty glyph; the fonts must still draw it.
    struct Case {
        QFont font;
        const char* text;
    };
    const Case cases[] = {
        {qtmui::NamedFont(QStringLiteral("宋体"), 10), "℃"},
        {qtmui::NamedFont(QStringLiteral("宋体"), 16), "²"},
        {qtmui::NamedFont(QStringLiteral("宋体"), 16), "Φ"},
        {qtmui::NamedFont(QStringLiteral("宋体"), 9), "确定"},
        {qtmui::NamedFont(QStringLiteral("宋体"), 9), "版"},
        {qtmui::DialogFont(), "℃"},
        {qtmui::NarrowDigitsFont(54), "0.0000"},
    };
    for (const Case& c : cases) {
        EXPECT_GT(InkOf(c.font, QString::fromUtf8(c.text)), 0)
            << c.text << " in " << c.font.families().join(',').toStdString();
    }
}
