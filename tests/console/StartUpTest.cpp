#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <mutex>
#include <optional>
#include <vector>

#include "chart/ChartCtrl.h"
#include "chart/ChartTitle.h"
#include "tests/console/DialogFixture.h"

namespace {

const QString kConnected = QStringLiteral(" -----< Device connected！ >-----");
const QString kUndetected = QStringLiteral(" -----< Undetected device！ >-----");

}  // namespace

TEST(StartUp, WithoutMeterOpensCollapsedWithIlluminanceCaptions) {
    DialogFixture f;
    f.dlg->OnInitDialog();

    EXPECT_EQ(f.prompts->Messages(), QStringList{kUndetected});
    EXPECT_FALSE(f.dlg->m_bConnected);
    EXPECT_EQ(f.Text("edtModel_1110"), QStringLiteral("QTM-200"));
    EXPECT_EQ(f.Text("grpMeasure_1044"), QStringLiteral("Lux"));
    EXPECT_EQ(f.Text("grpWave_1047"), QStringLiteral("Lux wave param set"));
    EXPECT_EQ(f.Text("lblPowerUnit_1010"), QStringLiteral("lx"));
    EXPECT_EQ(f.Text("lblEnergyUnit_1011"), QStringLiteral("lx.s"));
    EXPECT_EQ(f.Headers(), QStringList({"iNo.", "Lux(lx)", "Enegry(lx.s)", "Time(s)"}));
    EXPECT_EQ(f.dlg->LiveChart()->GetTitle()->GetString(0), QStringLiteral("Lux Wave"));
    EXPECT_EQ(f.dlg->FitChart()->GetTitle()->GetString(0), QStringLiteral("Fit Wave"));

    // Collapsed: the fit groups are out of sight, the button offers to expand.
    EXPECT_FALSE(f.dlg->m_bExpanded);
    EXPECT_EQ(f.Text("btnExpand_1063"), QStringLiteral("︾"));
    EXPECT_LE(f.dlg->height(), f.Find<QWidget>("grpFitData_1053")->y());
    EXPECT_FALSE(f.dlg->StorageTimer().isActive());
}

TEST(StartUp, FieldsAndControlsTakeTheirInitialStates) {
    DialogFixture f;
    f.dlg->OnInitDialog();

    struct Expect {
        const char* control;
        const char* text;
    };
    const Expect texts[] = {
        {"cmbPType_1019", "QTX200"}, {"cmbComm_1020", "USB"},      {"cmbEnergy_1017", "->Stop"},
        {"edtAddr_1112", "1"},       {"edtNewAddr_1145", "1"},     {"edtSN_1137", "201901001"},
        {"edtBand_1111", "200-300"}, {"edtRange_1138", "300-500"}, {"edtK_1141", "1.0000"},
        {"edtCal_1142", "1000"},     {"edtSaveTime_1143", "1"},    {"lblStorage_1075", "0/7500"},
        {"edtYMax_1032", "2000"},    {"edtYMin_1033", "0"},        {"edtXMax_1034", "100"},
        {"edtYUpper_1035", "200"},   {"edtYLow_1036", "0"},        {"edtXUpper_1037", "50"},
        {"edtZeroData_1055", "0"},   {"edtCalK_1058", "1"},        {"edtCoef_1069", "0.000"},
        {"edtR_1056", "0.000"},      {"lblPower_1002", "0.0000"},  {"btnTempData_1067", "T(℃)"},
    };
    for (const Expect& e : texts) {
        EXPECT_EQ(f.Text(e.control), QString::fromUtf8(e.text)) << e.control;
    }
    EXPECT_EQ(f.Find<QPlainTextEdit>("edtFitLog_1065")->toPlainText(),
              QStringLiteral("y=()x*x*x*x+()x*x*x+()x*x+()x+()"));

    // USB start-up: Scan is the way to connect, the bus address and Open are not.
    EXPECT_TRUE(f.Find<QPushButton>("btnScan_1001")->isEnabled());
    EXPECT_FALSE(f.Find<QPushButton>("btnOpen_1021")->isEnabled());
    EXPECT_FALSE(f.Find<QLineEdit>("edtAddr_1112")->isEnabled());
    EXPECT_TRUE(f.Find<QPushButton>("btnStart_1004")->isEnabled());
    EXPECT_FALSE(f.Find<QPushButton>("btnClear_1005")->isEnabled());
    EXPECT_FALSE(f.Find<QPushButton>("btnSave_1028")->isEnabled());
    for (const char* limit : {"edtYMax_1032", "edtYMin_1033", "edtXMax_1034", "edtYUpper_1035",
                              "edtYLow_1036", "edtXUpper_1037"}) {
        EXPECT_FALSE(f.Find<QLineEdit>(limit)->isEnabled()) << limit;
    }
    for (const char* field : {"edtModel_1110", "edtSN_1137", "edtBand_1111", "edtRange_1138",
                              "edtCal_1142", "edtZeroData_1055", "edtCalK_1058"}) {
        EXPECT_FALSE(f.Find<QLineEdit>(field)->isReadOnly()) << field;
    }
    EXPECT_TRUE(f.Find<QWidget>("edtInfo_1079")->isHidden());
    EXPECT_TRUE(f.Find<QWidget>("btnUDisk_1150")->isHidden());
    for (QGroupBox* box : f.dlg->findChildren<QGroupBox*>()) {
        EXPECT_FALSE(box->isEnabled()) << box->objectName().toStdString();
    }
    EXPECT_EQ(f.dlg->findChildren<QGroupBox*>().size(), 9);
    EXPECT_EQ(f.dlg->m_records.Capacity(), 1000000u);
    EXPECT_TRUE(f.dlg->m_records.Empty());
    EXPECT_EQ(f.dlg->windowTitle(), QStringLiteral("DataAnalysisSoftwareV1.35 ->Velmora"));
}

TEST(StartUp, WithSimulatedUvMeterReadsItsIdentity) {
    DialogFixture f(SimConfig("QTX-210UVA"));
    ASSERT_TRUE(f.started) << f.startError;
    qtmsim::MeterState state;
    f.sim->WithModel([&](qtmsim::MeterModel& m) { state = m.State(); });

    f.dlg->OnInitDialog();

    EXPECT_EQ(f.prompts->Messages(), QStringList{kConnected});
    EXPECT_TRUE(f.dlg->m_bConnected);
    EXPECT_EQ(f.Text("cmbPort_1016"), QString::fromStdString(f.sim->PortPath()));
    EXPECT_EQ(f.Text("edtModel_1110"), QStringLiteral("QTX-210UVA"));
    EXPECT_EQ(f.Text("edtSN_1137").trimmed(), QString::fromStdString(state.serial));
    EXPECT_EQ(f.Text("edtBand_1111"), QString::fromStdString(state.band));
    EXPECT_EQ(f.Text("edtRange_1138"), QString::fromStdString(state.range));
    EXPECT_EQ(f.Text("edtCal_1142"), QString::asprintf("%.3f", double(state.calValue)));
    EXPECT_EQ(f.Text("edtSaveTime_1143"), QString::asprintf("%d", state.saveGap));
    EXPECT_EQ(f.Text("edtK_1141"), QString::asprintf("%.3f", double(state.k)));

    EXPECT_EQ(f.Text("grpMeasure_1044"), QStringLiteral("UV(ABC)"));
    EXPECT_EQ(f.Text("grpWave_1047"), QStringLiteral("UV(ABC) wave param set"));
    EXPECT_EQ(f.Text("lblPowerUnit_1010"), QStringLiteral("uW/cm2"));
    EXPECT_EQ(f.Headers().value(1), QStringLiteral("UV(uW/cm²)"));
    EXPECT_EQ(f.dlg->LiveChart()->GetTitle()->GetString(0), QStringLiteral("UV(ABC) Wave"));
    EXPECT_TRUE(f.dlg->StorageTimer().isActive());
    EXPECT_EQ(f.dlg->StorageTimer().interval(), 3000);
}

TEST(StartUp, TemplateHoldsEveryControlWithItsText) {
    DialogFixture f;  // the template alone, before initialisation
    // "control=text", the texts as the template gives them.
    const QStringList texts =
        QString::fromUtf8(
            "btnScan_1001=Scan|btnOpen_1021=Open|btnSetting_1147=Setting|"
            "btnReadParam_1149=ReadParam|btnSetCal_1148=SetCal|btnUDisk_1150=U disk Mode|"
            "lblT_1012=T(℃):1|lblVol_1007=Vol(V):1|lblAD_1008=AD:0|lblP_1013=P:|lblE_1014=E:|"
            "lblEnergy_1003=0.0000|lblPowerUnit_1010=uw/cm2|lblEnergyUnit_1011=mJ/cm2|"
            "btnStart_1004=Start|btnSave_1028=Save|btnClear_1005=Clear|btnZeroCal_1030=ZeroCal|"
            "btnImport_1031=Import|btnErase_1038=Erase|btnSetSaveTime_1146=Setting|"
            "btnSetK_1144=Setting|btnReadZero_1066=Read|btnSetAddr_1151=Setting|"
            "btnExpand_1063=︾|btnWriteCalK_1006=Write|btnReadFit_1000=Read|"
            "btnFitStart_1009=Start|btnWriteFormula_1018=Write|btnClearLog_1015=Claer Recvice|"
            "lblModel_1080=Model:|lblSN_1081=SN:|lblBand_1076=Band:|lblRange_1077=Range:|"
            "lblCal_1078=Cal:|lblAddr_1082=Addr:|lblSetAddr_1083=Set addr:|"
            "grpSerial_1042=Serial port setup|grpFactory_1046=Factory settings|"
            "grpControl_1050=Control|grpStorge_1054=Storge|grpParam_1049=Param setting|"
            "grpFitData_1053=Fit Data|grpFitGraph_1051=Fit Graph")
            .split(QLatin1Char('|'));
    for (const QString& e : texts) {
        const QByteArray control = e.section(QLatin1Char('='), 0, 0).toLatin1();
        EXPECT_EQ(f.Text(control.constData()), e.section(QLatin1Char('='), 1)) << e.toStdString();
    }
    // The labels without an id.
    QStringList plain;
    for (const QLabel* label : f.dlg->findChildren<QLabel*>()) {
        if (!label->objectName().contains(QRegularExpression(QStringLiteral("_\\d+$"))))
            plain << label->text();
    }
    const QStringList labels =
        QStringLiteral(
            "P.TYPES:|COMM:|PORT:|Energy accumulation:|SaveTime:|(S)|Set K:|ZeroData:|Y(Min):|"
            "X(Max):|Y(Max):|Cal K:|Fit State:|R:|K|Y(UpperLimit):|X(UpperLimit):|Y(LowLimit):|"
            "Types:|Formula:|*x|4|+|3|2|x +|Fit data:")
            .split(QLatin1Char('|'));
    for (const QString& text : labels)
        EXPECT_TRUE(plain.contains(text)) << text.toStdString();
    for (const char* box : {"chkAutoY_1039", "chkAutoYFit_1040"})
        EXPECT_EQ(f.Find<QCheckBox>(box)->text(), QStringLiteral("Auto(Y)")) << box;
    struct Entries {
        const char* combo;
        QStringList items;
    };
    const Entries combos[] = {
        {"cmbPType_1019", {"QTX200", "QTM300"}},
        {"cmbComm_1020", {"USB", "RS-485"}},
        {"cmbEnergy_1017", {"->Stop", "->Start", "->Claer", "->Pause"}},
    };
    for (const Entries& e : combos) {
        QComboBox* combo = f.Find<QComboBox>(e.combo);
        ASSERT_TRUE(combo) << e.combo;
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        EXPECT_EQ(items, e.items) << e.combo;
    }
    EXPECT_TRUE(f.Find<QComboBox>("cmbPort_1016")->isEditable());
    for (const char* field : {"edtModel_1110", "edtSN_1137", "edtBand_1111", "edtRange_1138",
                              "edtCal_1142", "edtZeroData_1055", "edtCalK_1058"}) {
        EXPECT_TRUE(f.Find<QLineEdit>(field)->isReadOnly()) << field;  // until initialisation
    }
}

TEST(StartUp, MeterIsQueriedUnderTheBusyCursor) {
    DialogFixture f(SimConfig("QTX-210UVA"));
    ASSERT_TRUE(f.started) << f.startError;
    // The window's thread is blocked waiting for the reply while the hook looks.
    std::mutex mutex;
    std::vector<Qt::CursorShape> shapes;
    f.sim->SetReplyOverride([&](const std::vector<std::uint8_t>&) {
        const QCursor* cursor = QApplication::overrideCursor();
        std::lock_guard lock(mutex);
        shapes.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
        return std::optional<std::vector<std::uint8_t>>();
    });

    f.dlg->OnInitDialog();

    std::lock_guard lock(mutex);
    ASSERT_GE(shapes.size(), 7u);  // identification, serial number, band ... K
    for (std::size_t i = 0; i < shapes.size(); ++i)
        EXPECT_EQ(shapes[i], Qt::WaitCursor) << "request " << i;
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
