// The title inside a chart: the room it takes above the plotting area and its drawing.
#include <gtest/gtest.h>

#include <QFontMetrics>

#include "TestChart.h"
#include "chart/ChartTitle.h"

using qtmchart::ChartRect;

namespace {

bool IsTitleBlue(QRgb p) {
    return qBlue(p) > 180 && qRed(p) < 90 && qGreen(p) < 90;
}

}  // namespace

TEST(TitleInChartTest, NoLinesOrInvisibleTakeNoRoom) {
    TestChart f(100, 100);
    f.chart.RefreshCtrl();
    const int bareTop = f.chart.GetPlottingRect().top;
    EXPECT_EQ(f.chart.GetTitle()->GetTitleRect().Height(), 0);

    f.chart.GetTitle()->AddString("Lux Wave");
    const int titledTop = f.chart.GetPlottingRect().top;
    EXPECT_GT(titledTop, bareTop);

    f.chart.GetTitle()->SetVisible(false);
    EXPECT_EQ(f.chart.GetPlottingRect().top, bareTop);
    EXPECT_EQ(f.chart.GetTitle()->GetTitleRect().Height(), 0);
}

TEST(TitleInChartTest, HeightCountsEveryLineInItsFont) {
    TestChart f(100, 100);
    CChartTitle* title = f.chart.GetTitle();
    title->AddString("PPFD Wave");
    title->AddString("second line");
    const QFontMetrics fm(title->GetFont().GetQFont(), f.chart.GetBackgroundImage());
    const ChartRect rect = title->GetTitleRect();
    EXPECT_EQ(rect.top, 3);
    EXPECT_EQ(rect.Height(), 4 + 2 * (fm.height() + 2));

    title->RemoveAll();
    EXPECT_EQ(title->GetStringCount(), 0u);
    EXPECT_EQ(title->GetTitleRect().Height(), 0);
}

TEST(TitleInChartTest, DrawnCentredInItsColourAboveThePlot) {
    TestChart f(100, 100);
    f.chart.GetTitle()->SetColor(0xFF0000);
    f.chart.GetTitle()->AddString("Lux Wave");
    const QImage& image = *f.chart.GetBackgroundImage();
    const ChartRect rect = f.chart.GetTitle()->GetTitleRect();
    int left = image.width();
    int right = -1;
    int blue = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!IsTitleBlue(image.pixel(x, y))) continue;
            ++blue;
            EXPECT_GE(y, rect.top + 4);
            EXPECT_LT(y, rect.bottom);
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
    ASSERT_GT(blue, 20);
    EXPECT_NEAR((left + right) / 2.0, 200, 4);
}
