#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QTest>

#include "chart/ChartAxis.h"
#include "chart/ChartAxisLabel.h"
#include "chart/ChartCtrl.h"
#include "tests/console/DialogFixture.h"

namespace {

const QString kLimitMessage = QStringLiteral("LowLimit > UpLimit");
const QString kLimitCaption = QStringLiteral("Flick Wave Param Set Error");

class LiveHandlersTest : public ::testing::Test {
protected:
    LiveHandlersTest() {
        f.dlg->OnInitDialog();
        f.dlg->show();
        f.prompts->Clear();
    }
    QLineEdit* Edit(const char* name) { return f.Find<QLineEdit>(name); }
    static std::pair<double, double> Range(CChartCtrl* chart) {
        double lo = 0, hi = 0;
        chart->GetLeftAxis()->GetMinMax(lo, hi);
        return {lo, hi};
    }
    void PressEnterIn(const char* name) {
        QLineEdit* edit = Edit(name);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
    }

    DialogFixture f;
};

TEST_F(LiveHandlersTest, UncheckedAutoYTakesTheTypedBoundsAsTheyStand) {
    QCheckBox* autoY = f.Find<QCheckBox>("chkAutoY_1039");
    Edit("edtYMin_1033")->setText("10");
    Edit("edtYMax_1032")->setText("5");
    autoY->click();
    CChartCtrl* live = f.dlg->LiveChart();
    EXPECT_FALSE(live->GetLeftAxis()->IsAutomatic());
    EXPECT_EQ(Range(live), std::make_pair(10.0, 5.0));
    EXPECT_TRUE(f.prompts->Messages().isEmpty());
    EXPECT_TRUE(Edit("edtYMax_1032")->isEnabled());
    EXPECT_EQ(live->GetLeftAxis()->GetLabel()->GetText(), QStringLiteral("y(P)"));
    EXPECT_EQ(live->GetSeriesCount(), 1u);  // the tick after the switch drew the line again

    autoY->click();
    EXPECT_TRUE(live->GetLeftAxis()->IsAutomatic());
    EXPECT_FALSE(Edit("edtYMin_1033")->isEnabled());

    QCheckBox* fitAutoY = f.Find<QCheckBox>("chkAutoYFit_1040");
    Edit("edtYLow_1036")->setText("3");
    Edit("edtYUpper_1035")->setText("30");
    f.dlg->m_chart.FitY[7] = 9.0;
    fitAutoY->click();
    EXPECT_EQ(Range(f.dlg->FitChart()), std::make_pair(3.0, 30.0));
    EXPECT_EQ(f.dlg->m_chart.FitY[7], 0.0);
    EXPECT_TRUE(Edit("edtYLow_1036")->isEnabled());
}

TEST_F(LiveHandlersTest, EnterInALimitEditSetsTheRangeOrRefusesItsOrder) {
    f.Find<QCheckBox>("chkAutoY_1039")->click();
    f.Find<QCheckBox>("chkAutoYFit_1040")->click();
    CChartCtrl* live = f.dlg->LiveChart();
    CChartCtrl* fit = f.dlg->FitChart();
    struct Case {
        const char* edit;
        const char* upperEdit;
        const char* upper;
        const char* lowerEdit;
        const char* lower;
        CChartCtrl* chart;
        bool refused;
    };
    const Case cases[] = {
        {"edtYMin_1033", "edtYMax_1032", "300", "edtYMin_1033", "-20", live, false},
        // Equal bounds are refused like reversed ones.
        {"edtYMax_1032", "edtYMax_1032", "100", "edtYMin_1033", "100", live, true},
        {"edtYLow_1036", "edtYUpper_1035", "50", "edtYLow_1036", "80", fit, true},
        {"edtYUpper_1035", "edtYUpper_1035", "1.5e2", "edtYLow_1036", "0.5", fit, false},
    };
    for (const Case& c : cases) {
        f.prompts->Clear();
        Edit(c.upperEdit)->setText(c.upper);
        Edit(c.lowerEdit)->setText(c.lower);
        const auto before = Range(c.chart);
        PressEnterIn(c.edit);
        EXPECT_TRUE(f.dlg->isVisible()) << c.edit;
        EXPECT_EQ(c.chart->GetSeriesCount(), 0u) << "the line waits for the next redraw";
        if (c.refused) {
            ASSERT_EQ(f.prompts->Entries().size(), 1u) << c.edit;
            EXPECT_EQ(f.prompts->Entries()[0].text, kLimitMessage);
            EXPECT_EQ(f.prompts->Entries()[0].caption, kLimitCaption);
            EXPECT_EQ(Range(c.chart), before) << c.edit;
        } else {
            EXPECT_TRUE(f.prompts->Entries().empty()) << c.edit;
            EXPECT_EQ(Range(c.chart), std::make_pair(atof(c.lower), atof(c.upper))) << c.edit;
        }
    }
}

TEST_F(LiveHandlersTest, ClearResetsTheReadingsToBaseUnitsAndEmptiesTheList) {
    f.dlg->m_fPower = 25000.0f;
    f.dlg->m_records.AppendLive(25000.0f, 2.0e6, 1.0f);
    f.Find<QLabel>("lblPowerUnit_1010")->setText("klx");
    f.Find<QLabel>("lblEnergyUnit_1011")->setText("Mlx.s");
    f.dlg->OnClear();
    EXPECT_EQ(f.dlg->m_fPower, 0.0f);
    EXPECT_EQ(f.dlg->m_dEnergy, 0.0);
    EXPECT_EQ(f.Text("lblPower_1002"), "0");
    EXPECT_EQ(f.Text("lblEnergy_1003"), "0");
    EXPECT_EQ(f.Text("lblPowerUnit_1010"), "lx");
    EXPECT_EQ(f.Text("lblEnergyUnit_1011"), "lx.s");
    EXPECT_EQ(f.dlg->m_records.Count(), 0u);
    EXPECT_EQ(f.dlg->m_records.Model().rowCount(), 0);
}

TEST_F(LiveHandlersTest, TheFitChartSwitchesBetweenTemperaturesAndData) {
    for (std::size_t i = 0; i < 50; ++i)
        f.dlg->m_chart.FitPairs[i] = {20.0f + static_cast<float>(i),
                                      1000.0f * static_cast<float>(i)};
    QPushButton* button = f.Find<QPushButton>("btnTempData_1067");
    EXPECT_EQ(button->text(), QStringLiteral("T(℃)"));
    button->click();
    EXPECT_EQ(button->text(), QStringLiteral("Data"));
    EXPECT_TRUE(f.dlg->m_bFitShowData);
    EXPECT_EQ(f.dlg->m_chart.FitY[49], 49000.0);
    button->click();
    EXPECT_EQ(button->text(), QStringLiteral("T(℃)"));
    EXPECT_FALSE(f.dlg->m_bFitShowData);
    EXPECT_EQ(f.dlg->m_chart.FitY[49], 69.0);
    EXPECT_EQ(f.dlg->m_chart.FitY[50], 0.0);
}

TEST_F(LiveHandlersTest, ClaerRecviceEmptiesTheFitLog) {
    auto* log = f.Find<QPlainTextEdit>("edtFitLog_1065");
    log->setPlainText("line 1\nline 2\n");
    f.Find<QPushButton>("btnClearLog_1015")->click();
    EXPECT_TRUE(log->toPlainText().isEmpty());
}

}  // namespace
