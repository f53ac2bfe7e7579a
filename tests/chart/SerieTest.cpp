// Series against real axes: storage growth, ordering, ranges, automatic axes, visible points,
// the hit test and unregistering on destruction.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "TestChart.h"
#include "chart/ChartAxis.h"

namespace {

std::vector<double> Xs(const CChartLineSerie& s) {
    std::vector<double> xs;
    for (unsigned i = 0; i < s.GetPointsCount(); ++i)
        xs.push_back(s.GetPoint(i).X);
    return xs;
}

}  // namespace

TEST(SerieTest, StoreGrowsInStepsOfAThousandOrAtOnceForABatch) {
    TestChart f;
    CChartLineSerie* serie = f.chart.CreateLineSerie();
    EXPECT_EQ(serie->GetCapacity(), 1000u);
    for (int i = 0; i < 1001; ++i)
        serie->AddPoint(SChartXYPoint{double(i), 0.0});
    EXPECT_EQ(serie->GetCapacity(), 2000u);
    EXPECT_EQ(serie->GetPointsCount(), 1001u);

    std::vector<double> x(7500, 1.0);
    CChartLineSerie* big = f.chart.CreateLineSerie();
    big->AddPoints(x.data(), x.data(), 7500);
    EXPECT_EQ(big->GetCapacity(), 7500u);
    EXPECT_EQ(big->GetPointsCount(), 7500u);
}

TEST(SerieTest, OrderingAppliesToStoredAndNewPoints) {
    TestChart f;
    CChartLineSerie* byX = f.Line({3, 1, 2}, {0, 0, 0});
    EXPECT_EQ(Xs(*byX), (std::vector<double>{1, 2, 3}));
    const double x = 2;
    const double y = 99;
    byX->AddPoints(&x, &y, 1);
    ASSERT_EQ(byX->GetPointsCount(), 4u);
    EXPECT_EQ(byX->GetPoint(1).Y, 0.0);  // the earlier X = 2 stays first
    EXPECT_EQ(byX->GetPoint(2).Y, 99.0);

    CChartLineSerie* none = f.Line({3, 1, 2}, {0, 0, 0}, qtmchart::kNoOrdering);
    EXPECT_EQ(Xs(*none), (std::vector<double>{3, 1, 2}));
    none->SetSeriesOrdering(1);  // sorts what is stored
    EXPECT_EQ(Xs(*none), (std::vector<double>{1, 2, 3}));

    CChartLineSerie* byY = f.Line({1, 2, 3}, {9, -1, 4}, qtmchart::kYOrdering);
    EXPECT_EQ(Xs(*byY), (std::vector<double>{2, 3, 1}));
}

TEST(SerieTest, FullAutomaticAxesTakeTheExactDataRange) {
    TestChart f;
    f.bottom->SetAutomatic(true);
    f.left->SetAutomatic(true);
    f.Line({10, 30, 20}, {3, 7, 5}, qtmchart::kNoOrdering);
    EXPECT_EQ(Range(f.bottom), std::pair(10.0, 30.0));
    EXPECT_EQ(Range(f.left), std::pair(3.0, 7.0));
    // The data range is also what an un-zoom drag goes back to.
    double savedMin = 0;
    double savedMax = 0;
    f.left->GetSavedMinMax(savedMin, savedMax);
    EXPECT_EQ(savedMin, 3.0);
    EXPECT_EQ(savedMax, 7.0);
}

TEST(SerieTest, GarbledReadingsDoNotSpoilTheAutomaticRange) {
    const double nan = std::nan("");
    const double inf = HUGE_VAL;
    struct Case {
        const char* name;
        std::vector<double> y;
        double min, max;
    };
    const Case cases[] = {
        {"a first reading that is not a number", {nan, 5, 3, 7}, 3, 7},
        {"an infinite reading in the middle", {5, inf, 3, -inf, 7}, 3, 7},
        {"only finite readings", {5, 3, 7}, 3, 7},
        {"nothing finite at all", {nan, inf}, 0, 0},
    };
    for (const Case& c : cases) {
        TestChart f;
        f.left->SetAutomatic(true);
        std::vector<double> x(c.y.size());
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<double>(i);
        f.Line(x, c.y, qtmchart::kNoOrdering);
        EXPECT_EQ(f.left->GetMin(), c.min) << c.name;
        EXPECT_EQ(f.left->GetMax(), c.max) << c.name;
        f.chart.RefreshCtrl();  // and the chart still draws
    }
}

TEST(SerieTest, ScreenRangeCoversOnlyPointsNearTheVisibleWindow) {
    TestChart f;
    std::vector<double> x;
    std::vector<double> y;
    for (int i = 0; i <= 100; ++i) {
        x.push_back(i);
        y.push_back(i * 10.0);
    }
    CChartLineSerie* serie = f.Line(x, y);
    f.bottom->SetMinMax(20.5, 40.5);
    unsigned first = 0;
    unsigned last = 0;
    ASSERT_TRUE(serie->GetVisiblePoints(first, last));
    EXPECT_TRUE(first == 20 || first == 21) << first;
    EXPECT_TRUE(last == 40 || last == 41) << last;
    double min = 0;
    double max = 0;
    ASSERT_TRUE(serie->GetSerieYScreenMinMax(min, max));
    EXPECT_EQ(min, first * 10.0);
    EXPECT_EQ(max, last * 10.0);
    EXPECT_FALSE(serie->GetSerieXScreenMinMax(min, max));  // only for ordering by Y

    f.left->SetAutomaticMode(CChartAxis::ScreenAutomatic);
    f.left->RefreshAutoAxis();
    EXPECT_EQ(Range(f.left), std::pair(min, max));
}

TEST(SerieTest, HitTestFindsSegmentsAndNearbyPoints) {
    TestChart f;
    CChartLineSerie* serie = f.Line({0, 5, 10}, {0, 10, 0});
    f.chart.RefreshCtrl();
    const QPoint p0 = serie->GetPointScreenCoord(0);
    const QPoint p1 = serie->GetPointScreenCoord(1);
    const QPoint mid((p0.x() + p1.x()) / 2, (p0.y() + p1.y()) / 2);
    unsigned index = 0;
    EXPECT_TRUE(serie->IsPointOnSerie(mid, index));
    EXPECT_EQ(index, CChartSerie::kNoIndex);
    EXPECT_TRUE(serie->IsPointOnSerie(p1 + QPoint(0, 2), index));
    EXPECT_EQ(index, 1u);
    EXPECT_TRUE(serie->IsPointOnSerie(p0, index));
    EXPECT_EQ(index, 0u);
    EXPECT_FALSE(serie->IsPointOnSerie(mid + QPoint(0, -40), index));
    EXPECT_EQ(index, CChartSerie::kNoIndex);
}

TEST(SerieTest, DestructionUnregistersFromBothAxes) {
    TestChart f;
    f.chart.CreateLineSerie();
    ASSERT_EQ(f.bottom->GetRegisteredSeries().size(), 1u);
    ASSERT_EQ(f.left->GetRegisteredSeries().size(), 1u);
    f.chart.RemoveAllSeries();
    EXPECT_TRUE(f.bottom->GetRegisteredSeries().empty());
    EXPECT_TRUE(f.left->GetRegisteredSeries().empty());
}

TEST(SerieTest, SerieWithoutAxesDrawsAndReportsNothing) {
    CChartCtrl chart;
    chart.resize(200, 150);
    CChartLineSerie* serie = chart.CreateLineSerie();
    const double v[] = {1, 2, 3};
    serie->AddPoints(v, v, 3);
    serie->SetSeriesOrdering(1);
    unsigned first = 0;
    unsigned last = 0;
    EXPECT_FALSE(serie->GetVisiblePoints(first, last));
    unsigned index = 0;
    EXPECT_FALSE(serie->IsPointOnSerie(QPoint(10, 10), index));
    chart.RefreshCtrl();  // must not touch the missing axes
}

TEST(SerieTest, SetPointsReplacesAndClearSerieEmpties) {
    TestChart f;
    f.left->SetAutomatic(true);
    CChartLineSerie* serie = f.Line({1, 2}, {5, 6}, qtmchart::kNoOrdering);
    const double x[] = {0, 1, 2};
    const double y[] = {-1, 0, 1};
    serie->SetPoints(x, y, 3);
    EXPECT_EQ(serie->GetPointsCount(), 3u);
    EXPECT_EQ(Range(f.left), std::pair(-1.0, 1.0));
    serie->ClearSerie();
    EXPECT_EQ(serie->GetPointsCount(), 0u);
    EXPECT_EQ(Range(f.left), std::pair(0.0, 0.0));
}

TEST(SerieTest, ScreenCoordinatesOfManyPointsMatchThoseOfEachPoint) {
    const double nan = std::nan("");
    const std::vector<double> x = {-3, 0, 0.5, 2, 7.25, 10, 11, nan, 1e12, -HUGE_VAL};
    const std::vector<double> y = {5, -2, 9.99, nan, 3, HUGE_VAL, 0, 4, -1e15, 6};
    // Each axis setting the drawing meets: plain, inverted, discrete, degenerate.
    const std::vector<void (*)(TestChart&)> settings = {
        [](TestChart&) {},
        [](TestChart& f) { f.left->SetInverted(true); },
        [](TestChart& f) { f.bottom->SetInverted(true); },
        [](TestChart& f) { f.bottom->SetDiscrete(true); },
        [](TestChart& f) { f.left->SetMinMax(4, 4); },
    };
    for (std::size_t k = 0; k < settings.size(); ++k) {
        TestChart f;
        CChartLineSerie* serie = f.Line(x, y, qtmchart::kNoOrdering);
        settings[k](f);
        f.chart.RefreshCtrl();  // lays the axes out
        const std::vector<QPoint> all = serie->GetPointsScreenCoords(0, 9);
        ASSERT_EQ(all.size(), 10u);
        for (unsigned i = 0; i < 10; ++i) {
            EXPECT_EQ(all[i], serie->GetPointScreenCoord(i)) << "setting " << k << ", point " << i;
        }
        EXPECT_EQ(serie->GetPointsScreenCoords(3, 5).at(1), serie->GetPointScreenCoord(4));
        EXPECT_TRUE(serie->GetPointsScreenCoords(0, 10).empty());  // past the last point
    }
}
