#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "chart/ChartCtrl.h"
#include "chart/ChartTitle.h"
#include "tests/console/DialogFixture.h"

namespace {

const QString kPortFailed = QStringLiteral(" -----< Serial Port open failed！ >-----");
const QString kBusOpen = QStringLiteral(" -----< COMM PROT OPEN！ >-----");

int CountFrames(const qtmsim::SimMeter& sim, const std::vector<std::uint8_t>& frame) {
    int n = 0;
    for (const qtmsim::Request& r : sim.RequestLog()) {
        if (r.bytes == frame) ++n;
    }
    return n;
}

}  // namespace

TEST(Connection, ScanWithQtm300ShowsTheInformationTextAndNoMessage) {
    DialogFixture f(SimConfig("QTM300-A", qtmsim::Family::Qtm300));
    ASSERT_TRUE(f.started) << f.startError;
    f.dlg->OnInitDialog();
    f.Choose("cmbPType_1019", 1);
    EXPECT_FALSE(f.Find<QWidget>("edtInfo_1079")->isHidden());
    EXPECT_TRUE(f.Find<QWidget>("edtModel_1110")->isHidden());
    EXPECT_TRUE(f.Find<QWidget>("btnSetCal_1148")->isHidden());
    f.prompts->Clear();

    f.Find<QPushButton>("btnScan_1001")->click();

    EXPECT_TRUE(f.prompts->Messages().isEmpty()) << f.prompts->Messages().join('|').toStdString();
    EXPECT_TRUE(f.dlg->m_bConnected);
    const QString info = f.Find<QPlainTextEdit>("edtInfo_1079")->toPlainText();
    EXPECT_TRUE(info.startsWith(QStringLiteral("Model:QTM300-A;SN:"))) << info.toStdString();
    EXPECT_EQ(f.dlg->m_strInfo, info);
}

TEST(Connection, CompactLayoutForQtm300AndBackToTheFullFamily) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    const QSize collapsed = f.dlg->size();
    f.Choose("cmbPType_1019", 1);
    const QWidget* factory = f.Find<QWidget>("grpFactory_1046");
    EXPECT_LT(f.dlg->width(), collapsed.width());
    EXPECT_GE(f.dlg->width(), factory->x() + factory->width());
    EXPECT_GE(f.dlg->height(), factory->y() + factory->height());
    EXPECT_FALSE(f.Find<QWidget>("btnUDisk_1150")->isHidden());

    f.Choose("cmbPType_1019", 0);
    EXPECT_TRUE(f.Find<QWidget>("edtInfo_1079")->isHidden());
    EXPECT_FALSE(f.Find<QWidget>("edtBand_1111")->isHidden());
    EXPECT_TRUE(f.dlg->m_bExpanded);  // the layout toggled once, from collapsed to full
}

TEST(Connection, CommToRs485AndBackClosesTheBusPortAndItsWatchThread) {
    DialogFixture f(BusMeter());
    ASSERT_TRUE(f.started) << f.startError;
    f.dlg->OnInitDialog();  // a bus meter does not answer the USB identification
    f.prompts->Clear();

    f.OpenBus();
    EXPECT_EQ(f.prompts->Messages(), QStringList{kBusOpen});
    EXPECT_TRUE(f.dlg->m_bConnected);
    EXPECT_TRUE(f.dlg->Link().BusPortOpen());
    EXPECT_TRUE(f.dlg->Link().Bus().WatchThreadRunning());
    EXPECT_FALSE(f.Find<QPushButton>("btnScan_1001")->isEnabled());
    EXPECT_TRUE(f.Find<QLineEdit>("edtModel_1110")->isReadOnly());

    f.Choose("cmbComm_1020", 0);
    EXPECT_FALSE(f.dlg->Link().BusPortOpen());
    EXPECT_FALSE(f.dlg->Link().Bus().WatchThreadRunning());
    EXPECT_FALSE(f.dlg->m_bConnected);
    EXPECT_TRUE(f.Find<QPushButton>("btnScan_1001")->isEnabled());
    EXPECT_FALSE(f.Find<QLineEdit>("edtModel_1110")->isReadOnly());
}

TEST(Connection, BusAddressSettingWritesOnlyAddressesOnTheBus) {
    DialogFixture f(BusMeter());
    ASSERT_TRUE(f.started) << f.startError;
    f.dlg->OnInitDialog();
    f.OpenBus();
    auto setAddress = [&f](const char* current, const char* wanted) {
        f.prompts->Clear();
        f.sim->ClearLog();
        f.Find<QLineEdit>("edtAddr_1112")->setText(QString::fromLatin1(current));
        f.Find<QLineEdit>("edtNewAddr_1145")->setText(QString::fromLatin1(wanted));
        f.Find<QPushButton>("btnSetAddr_1151")->click();
    };
    struct Case {
        const char* current;
        const char* wanted;
    };
    // An empty or garbled field would otherwise be address 0, the broadcast to every meter.
    const Case refused[] = {{"", "5"},  {"abc", "5"}, {"1x", "5"}, {"-1", "5"},
                            {"1", "0"}, {"1", "261"}, {"248", "5"}};
    for (const Case& c : refused) {
        setAddress(c.current, c.wanted);
        EXPECT_TRUE(f.sim->RequestLog().empty()) << c.current << " -> " << c.wanted;
        EXPECT_EQ(f.prompts->Messages().size(), 1);
    }

    setAddress("1", "5");
    // Register 0xFCC6, one register, two bytes: 0xC6 and the new address; CRC low byte first.
    const std::vector<std::uint8_t> frame{0x01, 0x10, 0xFC, 0xC6, 0x00, 0x01,
                                          0x02, 0xC6, 0x05, 0x18, 0x9A};
    EXPECT_EQ(CountFrames(*f.sim, frame), 1);
    EXPECT_EQ(f.prompts->Messages(), QStringList{QStringLiteral(" -----< addr set ok!!! >-----")});
    EXPECT_EQ(f.Text("edtAddr_1112"), QStringLiteral("1"));  // the window keeps the old one
}

TEST(Connection, ScanFindsAnotherMeterAndTheWindowFollowsIt) {
    DialogFixture f(SimConfig("QTX-210UVA"));
    ASSERT_TRUE(f.started) << f.startError;
    f.dlg->OnInitDialog();
    f.sim->WithModel([](qtmsim::MeterModel& m) { m.State().model = "QTX-220IR3"; });
    f.prompts->Clear();

    f.Find<QPushButton>("btnScan_1001")->click();

    EXPECT_EQ(f.prompts->Messages(),
              QStringList{QStringLiteral(" -----< Serial Port open ,Device connected！ >-----")});
    EXPECT_TRUE(f.dlg->m_bConnected);
    EXPECT_EQ(f.Text("cmbPort_1016"), QString::fromStdString(f.sim->PortPath()));
    EXPECT_EQ(f.Text("edtModel_1110"), QStringLiteral("QTX-220IR3"));
    EXPECT_EQ(f.Text("grpMeasure_1044"), QStringLiteral("IR"));
    EXPECT_EQ(f.Text("lblPowerUnit_1010"), QStringLiteral("uW/cm²"));
    EXPECT_EQ(f.Headers().value(1), QStringLiteral("IR(uW/cm²)"));
    EXPECT_EQ(f.dlg->LiveChart()->GetTitle()->GetString(0), QStringLiteral("IR Wave"));
    EXPECT_TRUE(f.dlg->StorageTimer().isActive());
}

TEST(Connection, ScanAndBusAddressSettingWithoutMeterSayThePortFailed) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    for (const char* button : {"btnScan_1001", "btnSetAddr_1151"}) {
        f.prompts->Clear();
        f.Find<QPushButton>(button)->click();
        EXPECT_EQ(f.prompts->Messages(), QStringList{kPortFailed}) << button;
        EXPECT_FALSE(f.dlg->m_bConnected) << button;
    }
}

TEST(Connection, RefusedFileThatIsNoSerialPortGetsNoGroupAdvice) {
    // sysfs refuses a write open of a read-only attribute even to root. It is a regular file,
    // so joining the serial ports' group would not help: the window must not advise it.
    const char* readOnly = "/sys/kernel/uevent_seqnum";
    const int fd = ::open(readOnly, O_RDWR | O_NOCTTY);
    const int err = errno;
    if (fd >= 0) ::close(fd);
    if (fd >= 0 || err != EACCES) GTEST_SKIP() << readOnly << " does not refuse with EACCES here";
    // Listed as the one serial port: the start-up scan cannot open it either.
    DialogFixture f(std::nullopt, {readOnly});
    f.dlg->OnInitDialog();
    QStringList messages = f.prompts->Messages();
    ASSERT_EQ(messages.size(), 1) << messages.join('|').toStdString();
    EXPECT_EQ(messages[0], QStringLiteral(" -----< Undetected device！ >-----"));

    f.Choose("cmbComm_1020", 1);
    f.prompts->Clear();
    f.Find<QComboBox>("cmbPort_1016")->setEditText(QString::fromLatin1(readOnly));
    f.Find<QPushButton>("btnOpen_1021")->click();

    messages = f.prompts->Messages();
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages[0], QStringLiteral("Open the %1 port failed!").arg(readOnly));
    EXPECT_FALSE(messages.join('|').contains(QStringLiteral("dialout")));
    EXPECT_FALSE(f.dlg->m_bConnected);
}
