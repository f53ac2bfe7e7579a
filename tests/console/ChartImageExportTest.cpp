// Saving a chart as a picture: the path comes from the operator prompts, the suffix picks
// PNG (twice the chart's size) or SVG, and a file that cannot be written is said so. The
// window offers both charts in its context menu with shortcuts of their own.
#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QSvgRenderer>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "DialogFixture.h"
#include "chart/ChartCtrl.h"
#include "chart/ChartLineSerie.h"
#include "chart/ChartStandardAxis.h"
#include "console/ChartImageExport.h"
#include "tests/device/TempDir.h"

namespace {

struct Case {
    std::string typed;    // the path the operator gives, in the test's folder ("" cancels)
    std::string written;  // the file that must then exist ("" for none)
    QString message;      // the start of what the operator is told ("" for nothing)
};

TEST(ChartImageExportTest, SuffixPicksTheFormatAndFailuresAreTold) {
    const std::vector<Case> cases = {
        {"live.png", "live.png", "The chart image was saved to"},
        {"LIVE.SVG", "LIVE.SVG", "The chart image was saved to"},
        {"live", "live.png", "The chart image was saved to"},
        {"live.jpg", "", "Chart images are saved as PNG (.png) or SVG (.svg) files; live.jpg"},
        {"missing/live.png", "", "The chart image could not be saved.\nThe folder"},
        {"", "", ""},
    };
    QWidget window;
    CChartCtrl* chart = new CChartCtrl(&window);
    chart->resize(240, 160);
    chart->CreateStandardAxis(CChartCtrl::BottomAxis)->SetMinMax(0, 1);
    chart->CreateStandardAxis(CChartCtrl::LeftAxis)->SetMinMax(0, 1);
    const double x[2] = {0, 1};
    chart->CreateLineSerie()->AddPoints(x, x, 2);
    RecordingPrompts prompts;
    ChartImageExport exporter(&window, prompts);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        qtm::test::TempDir dir;
        prompts.Clear();
        prompts.ScriptSavePath(
            c.typed.empty() ? QString() : QString::fromStdString((dir.Path() / c.typed).string()));
        exporter.Save(chart, QStringLiteral("live-chart.png"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !exporter.Busy(); }, 5000));
        const QString told = prompts.Messages().join('|');
        EXPECT_TRUE(c.message.isEmpty() ? told.isEmpty() : told.startsWith(c.message))
            << told.toStdString();
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            files.push_back(entry.path().filename().string());
        EXPECT_EQ(files, c.written.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{c.written});
        if (c.written.empty()) continue;
        const QString path = QString::fromStdString((dir.Path() / c.written).string());
        if (c.written.ends_with(".SVG")) {
            EXPECT_TRUE(QSvgRenderer(path).isValid());
        } else {
            EXPECT_EQ(QImage(path).size(), QSize(480, 320));
        }
    }
}

TEST(ChartImageExportTest, WindowOffersBothChartsOnTheirShortcuts) {
    DialogFixture f;
    qtm::test::TempDir dir;
    QStringList shortcuts;
    for (const QAction* action : f.dlg->actions()) {
        if (action->text().contains(QStringLiteral("chart image")))
            shortcuts << action->text() + QStringLiteral(" ") + action->shortcut().toString();
    }
    EXPECT_EQ(shortcuts, (QStringList{QStringLiteral("Save live chart image… Ctrl+Shift+L"),
                                      QStringLiteral("Save fit chart image… Ctrl+Shift+F")}));

    const auto path = dir.Path() / "fit.svg";
    f.prompts->ScriptSavePath(QString::fromStdString(path.string()));
    f.dlg->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(f.dlg.get()));
    QTest::keyClick(f.dlg.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return std::filesystem::exists(path); }, 5000));
    EXPECT_EQ(QSvgRenderer(QString::fromStdString(path.string())).viewBox().size(),
              f.dlg->FitChart()->size());
}

}  // namespace
