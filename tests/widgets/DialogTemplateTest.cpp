#include <gtest/gtest.h>

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

TEST(DialogTemplate, ChineseFaceFallsBackToAnInstalledCjkFace) {
    const QFont font = qtmui::NamedFont(QStringLiteral("宋体"), 54);
    EXPECT_EQ(font.families().value(0), QStringLiteral("宋体"));
    EXPECT_GT(font.families().size(), 1);
    EXPECT_EQ(font.pointSize(), 54);
    EXPECT_EQ(qtmui::NamedFont(QStringLiteral("Open Sans"), 9).families().size(), 1);
    EXPECT_EQ(qtmui::NarrowDigitsFont(54).families().value(0), QStringLiteral("宋体"));
}
