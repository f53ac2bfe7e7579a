#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include <QTableWidget>

#include "console/ServiceLogDialog.h"
#include "device/ModbusFrame.h"
#include "device/TempDir.h"
#include "device/VkBytes.h"
#include "service/BackupStore.h"
#include "service/ServiceLog.h"
#include "tests/console/DialogFixture.h"
#include "widgets/TipsDlg.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

const QString kPortFailed = QStringLiteral(" -----< Serial Port open failed！ >-----");
const QString kReadOk = QStringLiteral(" -----< param read success!!! >-----");
const QString kReadFailed = QStringLiteral(" -----< param read failed!!! >-----");

using qtm::test::Vk;

// Backups go to a folder of the test's own; it is set before the window exists.
struct DataHome {
    DataHome() { ::setenv("XDG_DATA_HOME", dir.Path().c_str(), 1); }
    std::size_t Backups() const {
        const auto folder = dir.Path() / "QTM200Debug" / "backups";
        if (!std::filesystem::exists(folder)) return 0;
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                      std::filesystem::directory_iterator()));
    }
    qtm::test::TempDir dir;
};

// A window connected to a simulated meter (found at start-up), messages cleared.
struct Connected {
    explicit Connected(qtmsim::MeterConfig config = SimConfig("QTX-200P")) : f(config) {
        f.dlg->OnInitDialog();
        f.prompts->Clear();
    }
    QString Text(const char* name) const { return f.Text(name); }
    void Click(const char* button) { f.Find<QPushButton>(button)->click(); }
    void Type(const char* edit, const QString& text) { f.Find<QLineEdit>(edit)->setText(text); }
    QString LastMessage() const {
        const QStringList messages = f.prompts->Messages();
        return messages.isEmpty() ? QString() : messages.back();
    }
    // The write requests (class 0x43 and the polynomial) the meter received since the last clear.
    std::vector<Bytes> Writes() const {
        std::vector<Bytes> out;
        for (const qtmsim::Request& r : f.sim->RequestLog()) {
            if ((r.bytes.size() > 2 && r.bytes[2] == 0x43) || r.bytes[0] == 'F')
                out.push_back(r.bytes);
        }
        return out;
    }
    DataHome home;
    DialogFixture f;
};

TEST(ParamHandlers, WithoutAMeterEveryHandlerSaysSoAndSendsNothing) {
    DataHome home;
    DialogFixture f;
    f.dlg->OnInitDialog();
    f.prompts->Clear();
    for (const char* button :
         {"btnSetting_1147", "btnSetCal_1148", "btnSetSaveTime_1146", "btnErase_1038",
          "btnZeroCal_1030", "btnReadZero_1066", "btnWriteCalK_1006", "btnFitStart_1009",
          "btnReadFit_1000", "btnWriteFormula_1018", "btnUDisk_1150"}) {
        f.Find<QPushButton>(button)->click();
        EXPECT_EQ(f.prompts->Messages().size(), 1) << button;
        EXPECT_EQ(f.prompts->Messages().value(0), kPortFailed) << button;
        f.prompts->Clear();
    }
    f.Choose("cmbEnergy_1017", 3);
    EXPECT_EQ(f.prompts->Messages(), QStringList{kPortFailed});
    EXPECT_EQ(f.Text("btnFitStart_1009"), QStringLiteral("Start"));
    EXPECT_EQ(home.Backups(), 0u);
}

TEST(ParamHandlers, IdentityWriteReportsTheMaskAfterOneSessionBackup) {
    Connected c;
    c.Type("edtModel_1110", QStringLiteral("QTX-200L"));
    c.Type("edtSN_1137", QStringLiteral("SN-1234567890"));
    c.f.sim->ClearLog();
    c.Click("btnSetting_1147");
    EXPECT_EQ(
        c.LastMessage(),
        QStringLiteral(" -----< Param write Info!!! >----- \n\r 1、Model write OK. \n\r"
                       " 2、SN write OK. \n\r 3、Band write OK. \n\r 4、Rang write OK. \n\r"));
    ASSERT_EQ(c.Writes().size(), 4u);
    EXPECT_EQ(c.Writes()[0],
              Vk({0x43, 0x01, 0x0A, 0x00, 'Q', 'T', 'X', '-', '2', '0', '0', 'L', ' ', ' ', 0x00}));
    EXPECT_EQ(c.f.dlg->m_strModel, QStringLiteral("QTX-200L"));
    EXPECT_TRUE(c.f.dlg->StorageTimer().isActive());
    EXPECT_EQ(c.home.Backups(), 1u);
    // Backups go by the serial number the meter reports: the one just written makes the next
    // write back the meter up under it. Another plain write of the session needs no further
    // backup; a calibration write does.
    c.Type("edtSaveTime_1143", QStringLiteral("5"));
    c.Click("btnSetSaveTime_1146");
    EXPECT_EQ(c.home.Backups(), 2u);
    c.Type("edtSaveTime_1143", QStringLiteral("12.9"));
    c.Click("btnSetSaveTime_1146");
    EXPECT_EQ(c.home.Backups(), 2u);
    EXPECT_EQ(c.Text("edtSaveTime_1143"), QStringLiteral("12"));
    EXPECT_EQ(c.Writes().back(), Vk({0x43, 0x22, 0x04, 0x00, 0x0C, 0x00, 0x00, 0x00, 0x00}));
    c.Type("edtK_1141", QStringLiteral("1.5"));
    c.Click("btnSetK_1144");
    EXPECT_EQ(c.home.Backups(), 3u);
    EXPECT_EQ(c.Writes().back(), Vk({0x43, 0x0F, 0x04, 0x00, 0x00, 0x00, 0xC0, 0x3F, 0x00}));
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< illumination k write success!!! >-----"));
}

TEST(ParamHandlers, FailedWritesPutThePreviousValueBack) {
    Connected c;
    c.Type("edtK_1141", QStringLiteral("1.5"));
    c.Click("btnSetK_1144");
    ASSERT_EQ(c.Text("edtK_1141"), QStringLiteral("1.500"));
    // A meter gone silent: no backup (the operator agrees to go on), and no write taken.
    c.f.sim->SetFault(qtmsim::Fault::Silent);
    c.Type("edtK_1141", QStringLiteral("7"));
    c.Click("btnSetK_1144");
    EXPECT_EQ(c.f.prompts->Entries().at(c.f.prompts->Entries().size() - 2).kind,
              RecordingPrompts::Kind::OkCancel);
    EXPECT_EQ(c.Text("edtK_1141"), QStringLiteral("1.500"));
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< illumination k write failed!!! >-----"));
    // A port that will not open: the combo returns to the previous entry.
    c.f.sim->SetFault(qtmsim::Fault::None);
    c.f.dlg->Link().SetPortName("/dev/qtm-test-no-such-port");
    c.f.prompts->ScriptOkCancel(true);
    c.f.Choose("cmbEnergy_1017", 3);
    EXPECT_EQ(c.Text("cmbEnergy_1017"), QStringLiteral("->Stop"));
    EXPECT_EQ(c.LastMessage(),
              QStringLiteral(" -----< Energy accumulation state write failed!!! >-----"));
}

TEST(ParamHandlers, EnergyPauseSendsThreeAndEraseAsksFirst) {
    Connected c;
    c.f.Choose("cmbEnergy_1017", 3);
    EXPECT_EQ(c.Writes().back(), Vk({0x43, 0x21, 0x01, 0x00, 0x03, 0x00}));
    EXPECT_EQ(c.f.dlg->m_nEnergyState, 3);
    c.f.sim->ClearLog();
    c.f.prompts->ScriptOkCancel(false);
    c.Click("btnErase_1038");
    EXPECT_TRUE(c.Writes().empty());
    c.f.prompts->ScriptOkCancel(true);
    c.Click("btnErase_1038");
    EXPECT_EQ(c.Writes(), std::vector<Bytes>{Vk({0x43, 0x25, 0x01, 0x00, 0x01})});
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< param ease success!!! >-----"));
}

TEST(ParamHandlers, ReadParamWithoutAnswerIsAFailure) {
    Connected c;
    c.f.sim->SetFault(qtmsim::Fault::Silent);
    const QString sn = c.Text("edtSN_1137");
    c.Click("btnReadParam_1149");
    EXPECT_EQ(c.LastMessage(), kReadFailed);
    EXPECT_EQ(c.Text("edtSN_1137"), sn);
}

TEST(FitHandlers, ZeroCalibrationAnsweredWithCancelDoesNothing) {
    Connected c;
    c.f.sim->ClearLog();
    QTimer::singleShot(0, [] {
        if (auto* tips = qobject_cast<CTipsDlg*>(QApplication::activeModalWidget())) tips->reject();
    });
    c.Click("btnZeroCal_1030");
    EXPECT_TRUE(c.f.sim->RequestLog().empty());
    EXPECT_TRUE(c.f.prompts->Entries().empty());
    QTimer::singleShot(0, [] {
        if (auto* tips = qobject_cast<CTipsDlg*>(QApplication::activeModalWidget())) tips->accept();
    });
    c.Click("btnZeroCal_1030");
    EXPECT_EQ(c.Writes(), std::vector<Bytes>{Vk({0x43, 0x07, 0x01, 0x00, 0xF1, 0x00})});
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< Zero calibration write success!!! >-----"));
}

TEST(FitHandlers, ZeroValueGivesTheRange) {
    Connected c;  // the meter's calibration value 2.5 was read at start-up
    c.f.sim->WithModel([](qtmsim::MeterModel& m) { m.State().zeroValue = 16000000.0f; });
    c.Click("btnReadZero_1066");
    EXPECT_EQ(c.Text("edtZeroData_1055"), QStringLiteral("16000000.000"));
    EXPECT_EQ(c.Text("edtR_1056"), QStringLiteral("310.9"));
    EXPECT_EQ(c.LastMessage(), kReadOk);
    c.f.dlg->Link().SetPortName("/dev/qtm-test-no-such-port");
    c.Click("btnReadZero_1066");
    EXPECT_EQ(c.LastMessage(), kReadFailed);
    EXPECT_EQ(c.Text("edtZeroData_1055"), QStringLiteral("16000000.000"));
}

TEST(FitHandlers, CalKIsTruncatedAndZeroRefused) {
    Connected c;
    c.Type("edtCalK_1058", QStringLiteral("3.99"));
    c.Click("btnWriteCalK_1006");
    EXPECT_EQ(c.Writes().back(), Vk({0x43, 0x43, 0x04, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(c.Text("edtCalK_1058"), QStringLiteral("3.990"));
    c.f.sim->ClearLog();
    c.Type("edtCalK_1058", QStringLiteral("0"));
    c.Click("btnWriteCalK_1006");
    EXPECT_TRUE(c.f.sim->RequestLog().empty());
    EXPECT_EQ(c.Text("edtCalK_1058"), QStringLiteral("3.990"));
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< coefficient K Cannot be 0!!! >-----"));
}

TEST(FitHandlers, FittingButtonSendsTheCodesInItsOrderAndFlipsItsCaption) {
    Connected c;
    c.Click("btnFitStart_1009");
    EXPECT_EQ(c.Writes().back(), Vk({0x43, 0x46, 0x01, 0x00, 0x31, 0x00}));
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< The fitting has ended!!! >-----"));
    EXPECT_EQ(c.Text("btnFitStart_1009"), QStringLiteral("Stop"));
    c.Click("btnFitStart_1009");
    EXPECT_EQ(c.Writes().back(), Vk({0x43, 0x46, 0x01, 0x00, 0x30, 0x00}));
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< Fitting has started!!! >-----"));
    EXPECT_EQ(c.Text("btnFitStart_1009"), QStringLiteral("Start"));
}

TEST(FitHandlers, FitReadFillsCoefficientsChartAndTextAndFormulaZeroIsRefused) {
    Connected c;
    c.f.sim->WithModel([](qtmsim::MeterModel& m) {
        m.State().fitPoints[0] = {25.5f, 123456.0f};
        m.State().coefficients = {7, 3, 0.5, 2, 1.5};
    });
    c.Click("btnReadFit_1000");
    EXPECT_EQ(c.LastMessage(), kReadOk);
    EXPECT_EQ(c.Text("edtCoef_1069"), QStringLiteral("1.50000"));
    EXPECT_EQ(c.Text("edtCoef_1073"), QStringLiteral("7.00000"));
    EXPECT_TRUE(c.f.Find<QPlainTextEdit>("edtFitLog_1065")
                    ->toPlainText()
                    .startsWith(QStringLiteral("<01> T:25.500000℃;AD:123456.000000")));
    EXPECT_EQ(c.f.dlg->m_chart.FitY[0], 25.5);  // the chart shows T
    // c2 = 0: the whole formula is refused and the last written one (none yet) comes back.
    c.f.sim->ClearLog();
    c.Type("edtCoef_1071", QStringLiteral("0"));
    c.Click("btnWriteFormula_1018");
    EXPECT_TRUE(c.f.sim->RequestLog().empty());
    EXPECT_EQ(c.Text("edtCoef_1069"), QStringLiteral("0.00000"));
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< Formula param Cannot be 0!!! >-----"));
    for (const char* edit : {"edtCoef_1069", "edtCoef_1070", "edtCoef_1071", "edtCoef_1072"})
        c.Type(edit, QStringLiteral("2"));
    c.Type("edtCoef_1073", QStringLiteral("-1.25"));
    c.Click("btnWriteFormula_1018");
    EXPECT_EQ(c.Writes().back().size(), 45u);
    c.f.sim->WithModel([](qtmsim::MeterModel& m) {
        EXPECT_EQ(m.State().coefficients, (std::array<double, 5>{-1.25, 2, 2, 2, 2}));
    });
}

TEST(BusHandlers, KWriteAcknowledgedAndFiftyLineFitText) {
    DataHome home;
    DialogFixture f(BusMeter());
    ASSERT_TRUE(f.started) << f.startError;
    f.dlg->OnInitDialog();
    f.OpenBus();
    f.prompts->Clear();
    f.Find<QLineEdit>("edtK_1141")->setText(QStringLiteral("1.5"));
    f.Find<QPushButton>("btnSetK_1144")->click();
    EXPECT_EQ(f.prompts->Messages().back(),
              QStringLiteral(" -----< illumination k write success!!! >-----"));
    EXPECT_EQ(f.Text("edtK_1141"), QStringLiteral("1.500"));
    const std::array<std::uint8_t, 4> k{0x00, 0x00, 0xC0, 0x3F};
    EXPECT_EQ(f.sim->RequestLog().back().bytes,
              qtm::BuildWriteRegistersRequest(1, 0xE00E, 2, 4, k));
    EXPECT_EQ(home.Backups(), 1u);
    f.Find<QPushButton>("btnReadFit_1000")->click();
    const QStringList lines = f.Find<QPlainTextEdit>("edtFitLog_1065")
                                  ->toPlainText()
                                  .split(QStringLiteral("\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 50);
    EXPECT_TRUE(lines.front().startsWith(QStringLiteral("<01> T:"))) << lines.front().toStdString();
    EXPECT_TRUE(lines.back().startsWith(QStringLiteral("<50> T:")));
    EXPECT_TRUE(lines.back().contains(QStringLiteral("℃;AD:")));
}

TEST(ParamHandlers, RestoreShowsTheChangesAndWritesTheBackupBack) {
    Connected c;
    c.Type("edtCal_1142", QStringLiteral("9"));
    c.Click("btnSetCal_1148");  // takes the backup of the meter as it was
    ASSERT_EQ(c.home.Backups(), 1u);
    const QString backup = QString::fromStdString(c.f.dlg->Backups().LastFile().string());
    c.f.prompts->Clear();
    c.f.prompts->ScriptOpenPath(backup);
    c.f.prompts->ScriptOkCancel(true);
    QAction* restore = nullptr;
    for (QAction* a : c.f.dlg->actions()) {
        if (a->text() == QStringLiteral("Restore parameters…")) restore = a;
    }
    ASSERT_NE(restore, nullptr);
    restore->trigger();
    const auto& entries = c.f.prompts->Entries();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[1].kind, RecordingPrompts::Kind::OkCancel);
    EXPECT_TRUE(entries[1].text.startsWith(QStringLiteral("cal: 9 -> 2.5\n")))
        << entries[1].text.toStdString();
    EXPECT_TRUE(c.LastMessage().contains(QStringLiteral("cal: written")));
    EXPECT_EQ(c.Text("edtCal_1142"), QStringLiteral("2.500"));
    c.f.sim->WithModel([](qtmsim::MeterModel& m) { EXPECT_EQ(m.State().calValue, 2.5f); });
    EXPECT_EQ(c.home.Backups(), 2u);  // the state before the restore is kept too
}

// A text the meter cannot take is refused before any byte goes out, and the edits go back to
// what the meter holds; a good write is one service-log line per text.
TEST(ParamHandlers, RefusedTextSendsNothingAndEachTextWrittenIsLogged) {
    Connected c;
    const QString model = c.f.dlg->m_strModel;
    const QString band = c.f.dlg->m_strBand;
    c.Type("edtModel_1110", QStringLiteral("QTX-9"));
    c.Type("edtBand_1111", QStringLiteral("\u00C4400"));
    c.f.sim->ClearLog();
    c.Click("btnSetting_1147");
    EXPECT_EQ(c.LastMessage(), QStringLiteral("The band holds the character \"\u00C4\" (U+00C4), "
                                              "which the meter's code page (GBK) cannot express."));
    EXPECT_TRUE(c.f.sim->RequestLog().empty());
    EXPECT_EQ(c.Text("edtModel_1110"), model);
    EXPECT_EQ(c.Text("edtBand_1111"), band);
    EXPECT_EQ(c.f.dlg->m_strModel, model);
    EXPECT_EQ(c.home.Backups(), 0u);

    c.Type("edtBand_1111", QStringLiteral("\u7944"));
    c.Click("btnSetting_1147");
    EXPECT_TRUE(c.LastMessage().contains(QStringLiteral("3、Band write OK.")));
    EXPECT_EQ(c.Writes()[2].size(), 19u);
    EXPECT_EQ(c.Writes()[2][6], 0xB5);
    EXPECT_EQ(c.Writes()[2][7], 0x6D);
    const auto lines = qtm::ReadServiceLog(c.home.dir.Path() / "QTM200Debug" / "service-log.jsonl");
    ASSERT_EQ(lines.size(), 4u);  // newest first
    EXPECT_EQ(lines[1].Field("parameter"), "band");
    EXPECT_EQ(lines[1].Field("old"), band.toStdString());
    EXPECT_EQ(lines[1].Field("new"), "\xE7\xA5\x84");
    EXPECT_EQ(lines[1].Field("result"), "ok");
    EXPECT_EQ(lines[3].Field("program"), "window");
    EXPECT_EQ(lines[3].Field("serial"), "24050017");
}

TEST(ParamHandlers, AnotherMetersBackupIsRestoredOnlyWhenTheOperatorAgrees) {
    Connected c;
    c.Type("edtK_1141", QStringLiteral("1.5"));
    c.Click("btnSetK_1144");  // a backup of this meter
    const QString backup = QString::fromStdString(c.f.dlg->Backups().LastFile().string());
    c.f.sim->WithModel([](qtmsim::MeterModel& m) { m.State().serial = "24050099"; });
    c.f.sim->ClearLog();
    c.f.prompts->Clear();
    c.f.prompts->ScriptOpenPath(backup);
    c.f.prompts->ScriptOkCancel(false);
    for (QAction* a : c.f.dlg->actions()) {
        if (a->text() == QStringLiteral("Restore parameters…")) a->trigger();
    }
    const auto& entries = c.f.prompts->Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].kind, RecordingPrompts::Kind::OkCancel);
    EXPECT_TRUE(entries[1].text.contains(QStringLiteral("\"24050017\"")) &&
                entries[1].text.contains(QStringLiteral("\"24050099\"")))
        << entries[1].text.toStdString();
    EXPECT_TRUE(c.Writes().empty());
}

}  // namespace

namespace {

TEST(ParamTrust, TypedValuesThatCannotBeMeantSendNothingAndFieldsKeepTheMetersValues) {
    Connected c;
    const QString k = c.Text("edtK_1141");
    const QString cal = c.Text("edtCal_1142");
    ASSERT_EQ(cal, QStringLiteral("2.500"));
    struct Case {
        const char* edit;
        const char* text;
        const char* button;
        QString shows;   // the field afterwards
        QString saying;  // part of the message
    };
    const Case cases[] = {
        {"edtK_1141", "1e39", "btnSetK_1144", k, "32-bit float"},
        {"edtCal_1142", "abc", "btnSetCal_1148", cal, "not a decimal number"},
        {"edtCal_1142", "", "btnSetCal_1148", cal, "is empty"},
        {"edtSaveTime_1143", "0", "btnSetSaveTime_1146", c.Text("edtSaveTime_1143"), "below 1"},
        {"edtCalK_1058", "0.5", "btnWriteCalK_1006", QStringLiteral("1.000"), "Cannot be 0"},
        {"edtCalK_1058", "1e10", "btnWriteCalK_1006", QStringLiteral("1.000"), "32-bit integer"},
        {"edtCoef_1071", "1e400", "btnWriteFormula_1018", QStringLiteral("0.00000"), "C2"},
    };
    for (int i = 0; i < 5; ++i)
        c.f.Find<QLineEdit>(("edtCoef_" + std::to_string(1069 + i)).c_str())->setText("1");
    c.f.sim->ClearLog();
    for (const Case& t : cases) {
        SCOPED_TRACE(t.text);
        c.Type(t.edit, QString::fromLatin1(t.text));
        c.Click(t.button);
        EXPECT_EQ(c.Text(t.edit), t.shows);
        EXPECT_TRUE(c.LastMessage().contains(t.saying)) << c.LastMessage().toStdString();
    }
    EXPECT_TRUE(c.Writes().empty());
    EXPECT_EQ(c.home.Backups(), 0u);
}

TEST(ParamTrust, AFailedCalibrationWriteShowsTheMetersValueAndIsLogged) {
    Connected c;
    // The meter stays silent to the calibration-value write.
    c.f.sim->SetReplyOverride([](const Bytes& request) -> std::optional<Bytes> {
        if (request.size() > 4 && request[2] == 0x43 && request[3] == 0x07 && request[4] == 4)
            return Bytes{};
        return std::nullopt;
    });
    c.Type("edtCal_1142", QStringLiteral("5"));
    c.Click("btnSetCal_1148");
    EXPECT_EQ(c.LastMessage(), QStringLiteral(" -----< cal value write failed!!! >-----"));
    EXPECT_EQ(c.Text("edtCal_1142"), QStringLiteral("2.500"));  // not 0.000
    // A second press sends what the field shows: the meter's own value, not 0.
    c.f.sim->SetReplyOverride({});
    c.Click("btnSetCal_1148");
    EXPECT_EQ(c.Writes().back(), Vk({0x43, 0x07, 0x04, 0x00, 0x00, 0x00, 0x20, 0x40, 0x00}));

    std::ifstream log(c.home.dir.Path() / "QTM200Debug" / "service-log.jsonl");
    std::vector<std::string> lines;
    for (std::string line; std::getline(log, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(R"("program":"window")"), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(R"("parameter":"cal","old":2.5,"new":5,"result":"failed: )"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(R"("new":2.5,"result":"ok")"), std::string::npos) << lines[1];
    // The viewer in the context menu lists the newest write first.
    ServiceLogDialog view(c.home.dir.Path() / "QTM200Debug" / "service-log.jsonl");
    ASSERT_EQ(view.Table()->rowCount(), 2);
    EXPECT_EQ(view.Table()->item(0, 5)->text(), QStringLiteral("ok"));
    EXPECT_TRUE(view.SelectedText().contains(QStringLiteral("cal\t2.5\t5\tfailed: ")));
}

}  // namespace
