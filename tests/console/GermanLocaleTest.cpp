// The window under a German locale: meter values, the meter's information text and the
// program's number settings keep the decimal point.
#include <gtest/gtest.h>

#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>

#include "GermanLocale.h"
#include "console/DecimalText.h"
#include "console/QTM200DebugApp.h"
#include "tests/console/DialogFixture.h"

TEST(GermanLocale, TheWindowShowsMeterValuesWithADecimalPoint) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    DialogFixture f(SimConfig("QTX-210UVA"));
    ASSERT_TRUE(f.started) << f.startError;
    f.sim->WithModel([](qtmsim::MeterModel& m) {
        m.State().calValue = 2.5f;
        m.State().k = 1.25f;
    });
    f.dlg->OnInitDialog();
    ASSERT_TRUE(f.dlg->m_bConnected);
    EXPECT_EQ(f.Text("edtCal_1142"), QStringLiteral("2.500"));
    EXPECT_EQ(f.Text("edtK_1141"), QStringLiteral("1.250"));
    // What the operator types is read with a point too.
    EXPECT_EQ(qtm::DecimalNumber(QStringLiteral("12.5")), 12.5);
}

TEST(GermanLocale, TheQtm300InformationTextKeepsItsDecimalPoint) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    DialogFixture f(SimConfig("QTM300-A", qtmsim::Family::Qtm300));
    ASSERT_TRUE(f.started) << f.startError;
    f.sim->WithModel([](qtmsim::MeterModel& m) { m.State().calValue = 2.5f; });
    f.dlg->OnInitDialog();
    f.Choose("cmbPType_1019", 1);
    f.Find<QPushButton>("btnScan_1001")->click();
    const QString info = f.Find<QPlainTextEdit>("edtInfo_1079")->toPlainText();
    EXPECT_TRUE(info.contains(QStringLiteral(";Cal:2.500;"))) << info.toStdString();
}

TEST(GermanLocale, TheApplicationPutsOnlyNumbersBackToC) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    const QLocale previousDefault;
    CQTM200DebugApp::UseCNumbers();
    EXPECT_STREQ(std::localeconv()->decimal_point, ".");
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 2.5);
    EXPECT_STREQ(text, "2.5");
    EXPECT_EQ(QLocale().toString(2.5), QStringLiteral("2.5"));
    EXPECT_NE(std::strstr(std::setlocale(LC_CTYPE, nullptr), "de_DE"), nullptr);
    QLocale::setDefault(previousDefault);
}
