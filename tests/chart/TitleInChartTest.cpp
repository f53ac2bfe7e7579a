// The title inside a chart: the room it takes above the plotting area and its drawing.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <memory>

#include "chart/ChartCtrl.h"
#include "chart/ChartStandardAxis.h"
#include "chart/ChartTitle.h"

using qtmchart::ChartRect;

namespace {

std::unique_ptr<CChartCtrl> ChartWithAxes() {
    auto chart = std::make_unique<CChartCtrl>();
    chart->resize(400, 300);
    chart->EnableRefresh(false);
    chart->SetBackGradient(0xFFFFFF, 0xFF7D7D, 1);
    chart->CreateStandardAxis(CChartCtrl::BottomAxis)->SetMinMax(0, 100);
    chart->CreateStandardAxis(CChartCtrl::LeftAxis)->SetMinMax(0, 100);
    chart->EnableRefresh(true);
    return chart;
}

bool IsTitleBlue(QRgb p) {
    return qBlue(p) > 180 && qRed(p) < 90 && qGreen(p) < 90;
}

}  // namespace

TEST(TitleInChartTest, NoLinesOrInvisibleTakeNoRoom) {
    auto chart = ChartWithAxes();
    chart->RefreshCtrl();
    const int bareTop = chart->GetPlottingRect().top;
    EXPECT_EQ(chart->GetTitle()->GetTitleRect().Height(), 0);

    chart->GetTitle()->AddString("Lux Wave");
    const int titledTop = chart->GetPlottingRect().top;
    EXPECT_GT(titledTop, bareTop);

    chart->GetTitle()->SetVisible(false);
    EXPECT_EQ(chart->GetPlottingRect().top, bareTop);
    EXPECT_EQ(chart->GetTitle()->GetTitleRect().Height(), 0);
}

TEST(TitleInChartTest, HeightCountsEveryLineInItsFont) {
    auto chart = ChartWithAxes();
    CChartTitle* title = chart->GetTitle();
    title->AddString("PPFD Wave");
    title->AddString("second line");
    const QFontMetrics fm(title->GetFont().GetQFont(), chart->GetBackgroundImage());
    const ChartRect rect = title->GetTitleRect();
    EXPECT_EQ(rect.top, 3);
    EXPECT_EQ(rect.Height(), 4 + 2 * (fm.height() + 2));

    title->RemoveAll();
    EXPECT_EQ(title->GetStringCount(), 0u);
    EXPECT_EQ(title->GetTitleRect().Height(), 0);
}

TEST(TitleInChartTest, DrawnCentredInItsColourAboveThePlot) {
    auto chart = ChartWithAxes();
    chart->GetTitle()->SetColor(0xFF0000);
    chart->GetTitle()->AddString("Lux Wave");
    const QImage& image = *chart->GetBackgroundImage();
    const ChartRect rect = chart->GetTitle()->GetTitleRect();
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
