#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "device/platform/PortHold.h"
#include "tests/console/DialogFixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const QString kPortFailed = QStringLiteral(" -----< Serial Port open failed！ >-----");

// A VK read reply: head, value bytes from offset 6, zeros up to length.
template <typename T>
Bytes VkReply(std::uint8_t code, T value, std::size_t length, Bytes tail = {}) {
    Bytes reply{'V', 'K', 0x42, code, sizeof(T), 0x00};
    const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
    reply.insert(reply.end(), p, p + sizeof(T));
    reply.insert(reply.end(), tail.begin(), tail.end());
    reply.resize(length, 0);
    return reply;
}

Bytes Le32(std::int32_t v) {
    Bytes b(4);
    std::memcpy(b.data(), &v, 4);
    return b;
}

// Answers the live reads with fixed values and the memory read with a page count.
struct FixedMeter {
    float power = 25.0f;
    double energy = 0;
    std::int32_t tenths = 0;
    std::atomic<int> pages{0};
    std::atomic<bool> powerShort{false};

    qtmsim::ReplyOverride Hook() {
        return [this](const Bytes& request) -> std::optional<Bytes> {
            if (request.size() < 4 || request[0] != 'V') return std::nullopt;
            switch (request[3]) {
                case 0x0D:
                    return VkReply(0x0D, power, powerShort ? 10 : 11);
                case 0x21:
                    return VkReply(0x21, energy, 19, Le32(tenths));
                case 0x1F:
                    return VkReply(0x1F, static_cast<std::uint16_t>(pages.load()), 12);
                default:
                    return std::nullopt;
            }
        };
    }
};

class LiveLoopTest : public ::testing::Test {
protected:
    void Open(qtmsim::MeterConfig config = SimConfig("QTX-200")) {
        f = std::make_unique<DialogFixture>(config);
        ASSERT_TRUE(f->started) << f->startError;
        f->dlg->OnInitDialog();
        f->prompts->Clear();
    }
    QPushButton* Start() const { return f->Find<QPushButton>("btnStart_1004"); }
    int Rows() const { return f->dlg->m_records.Model().rowCount(); }
    QString Cell(int row, int column) const {
        const ReadingListModel& model = f->dlg->m_records.Model();
        return model.data(model.index(row, column)).toString();
    }
    // Waits (serving the window's events) until at least n rows are listed.
    bool WaitForRows(int n, int timeoutMs = 8000) {
        return QTest::qWaitFor([&] { return Rows() >= n; }, timeoutMs);
    }

    // Declared before the window: the simulator's thread may ask it until the window goes.
    FixedMeter meter;
    std::unique_ptr<DialogFixture> f;
};

TEST_F(LiveLoopTest, StartWithoutAMeterSaysSoAndChangesNothing) {
    f = std::make_unique<DialogFixture>();
    f->dlg->OnInitDialog();
    f->prompts->Clear();
    Start()->click();
    EXPECT_EQ(f->prompts->Messages(), QStringList{kPortFailed});
    EXPECT_EQ(Start()->text(), QStringLiteral("Start"));
    EXPECT_FALSE(f->dlg->m_bRunning.load());
    EXPECT_EQ(f->dlg->Run().WorkersStarted(), 0);
}

TEST_F(LiveLoopTest, AUsbRunListsReadingsAndStopHandsBackTheButtons) {
    Open();
    meter.power = -3.2f;  // shown as read, charted as 0
    meter.energy = 123456.78;
    meter.tenths = 12345;
    meter.pages = 10;
    f->sim->SetReplyOverride(meter.Hook());

    Start()->click();
    EXPECT_EQ(Start()->text(), QStringLiteral("Stop"));
    EXPECT_TRUE(f->dlg->ChartTimer().isActive());
    EXPECT_FALSE(f->dlg->StorageTimer().isActive());
    for (const char* name : {"btnClear_1005", "btnSave_1028", "btnZeroCal_1030"})
        EXPECT_FALSE(f->Find<QPushButton>(name)->isEnabled()) << name;
    ASSERT_TRUE(WaitForRows(2));

    EXPECT_EQ(Cell(0, 0), "1");
    EXPECT_EQ(Cell(1, 0), "2");
    EXPECT_EQ(Cell(0, 1), "-3.2000");
    EXPECT_EQ(Cell(0, 2), "123456.8");
    EXPECT_EQ(Cell(0, 3), "1234.5");
    EXPECT_EQ(f->Text("lblPower_1002"), "-3.2000");
    EXPECT_EQ(f->Text("lblEnergy_1003"), "123.46");
    EXPECT_EQ(f->Text("lblEnergyUnit_1011"), "klx.s");
    EXPECT_EQ(f->Text("lblStorage_1075"), "150/7500");
    EXPECT_EQ(f->Find<QProgressBar>("prgStorage_1074")->value(), 2);

    // Each pass flips the parity, and the unit labels change colour with it.
    const bool blink = f->dlg->m_bBlink.load();
    const QString look = f->Find<QLabel>("lblPowerUnit_1010")->styleSheet();
    ASSERT_TRUE(WaitForRows(Rows() + 1));
    EXPECT_NE(f->dlg->m_bBlink.load(), blink);
    EXPECT_NE(f->Find<QLabel>("lblPowerUnit_1010")->styleSheet(), look);
    EXPECT_EQ(f->Find<QLabel>("lblEnergyUnit_1011")->styleSheet(),
              f->Find<QLabel>("lblPowerUnit_1010")->styleSheet());

    f->dlg->OnChartTick();
    EXPECT_EQ(f->dlg->m_fPower, 0.0f);
    EXPECT_EQ(f->dlg->m_chart.LiveY[99], 0.0);

    Start()->click();
    EXPECT_EQ(Start()->text(), QStringLiteral("Start"));
    EXPECT_FALSE(f->dlg->ChartTimer().isActive());
    EXPECT_TRUE(f->dlg->StorageTimer().isActive());
    for (const char* name : {"btnClear_1005", "btnSave_1028", "btnZeroCal_1030"})
        EXPECT_TRUE(f->Find<QPushButton>(name)->isEnabled()) << name;
    EXPECT_TRUE(f->prompts->Messages().isEmpty());
}

TEST_F(LiveLoopTest, StorageCountsBeyondTheMemoryLeaveCounterAndBarAlone) {
    Open();
    f->sim->SetReplyOverride(meter.Hook());
    QProgressBar* bar = f->Find<QProgressBar>("prgStorage_1074");
    struct Case {
        int pages;
        const char* text;
        int bar;
    };
    // The counter runs from the stopped window's timer; 501 pages would be 7515 readings.
    for (const Case& c :
         {Case{500, "7500/7500", 100}, Case{501, "7500/7500", 100}, Case{20, "300/7500", 4}}) {
        meter.pages = c.pages;
        f->dlg->OnStorageTimer();
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return f->Text("lblStorage_1075") == QString(c.text); }, 3000));
        QTest::qWait(300);  // a stale reply would land by now
        EXPECT_EQ(f->Text("lblStorage_1075"), c.text) << c.pages;
        EXPECT_EQ(bar->value(), c.bar) << c.pages;
    }
}

TEST_F(LiveLoopTest, AFailedPassAddsNothingAndALostMeterIsToldOnceThenResumes) {
    // The meter is reached through a link that can vanish and come back, as a USB adapter
    // that is pulled out and plugged in again.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qtm-live-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path port = dir / "ttyMeter";
    qtmsim::MeterConfig config = SimConfig("QTX-200");
    auto sim = std::make_unique<qtmsim::SimMeter>(config);
    ASSERT_TRUE(sim->Start());
    std::filesystem::create_symlink(sim->PortPath(), port);
    f = std::make_unique<DialogFixture>(std::nullopt, std::vector<std::string>{port.string()});
    f->dlg->OnInitDialog();
    ASSERT_TRUE(f->dlg->m_bConnected);
    f->prompts->Clear();

    Start()->click();
    ASSERT_TRUE(WaitForRows(1));
    std::filesystem::remove(port);
    const int rowsBefore = Rows();
    const std::size_t recordsBefore = f->dlg->m_records.Count();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f->dlg->LinkNotice().isEmpty(); }, 9000));
    EXPECT_TRUE(f->dlg->LinkNotice().contains(QString::fromStdString(port.string())))
        << f->dlg->LinkNotice().toStdString();
    // At most one pass was under way when the port went.
    EXPECT_LE(Rows(), rowsBefore + 1);
    EXPECT_LE(f->dlg->m_records.Count(), recordsBefore + 1);
    const int rowsWhileLost = Rows();
    const QString power = f->Text("lblPower_1002");
    QTest::qWait(1200);
    EXPECT_EQ(Rows(), rowsWhileLost);
    EXPECT_EQ(f->Text("lblPower_1002"), power);
    EXPECT_TRUE(f->prompts->Messages().isEmpty()) << "no message box per pass";

    std::filesystem::create_symlink(sim->PortPath(), port);
    ASSERT_TRUE(WaitForRows(rowsWhileLost + 1));
    EXPECT_TRUE(f->dlg->LinkNotice().isEmpty());
    f.reset();
    sim->Stop();
    std::filesystem::remove_all(dir);
}

TEST_F(LiveLoopTest, ABusAdapterThatComesBackIsOpenedAgain) {
    // The bus port is reached through a name that can be pointed at a new line, as a
    // replugged USB-RS-485 adapter gets its old name back.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("qtm-bus-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::filesystem::path port = dir / "ttyBus";
    auto first = std::make_unique<qtmsim::SimMeter>(BusMeter());
    ASSERT_TRUE(first->Start());
    std::filesystem::create_symlink(first->PortPath(), port);
    f = std::make_unique<DialogFixture>();
    f->dlg->OnInitDialog();
    f->Choose("cmbComm_1020", 1);
    f->Find<QComboBox>("cmbPort_1016")->setEditText(QString::fromStdString(port.string()));
    f->Find<QPushButton>("btnOpen_1021")->click();
    ASSERT_TRUE(f->dlg->m_bConnected);
    f->prompts->Clear();

    Start()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f->dlg->m_records.Count() >= 1; }, 8000));
    first->SetFault(qtmsim::Fault::HangUp);  // the line drops at the next request
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f->dlg->LinkNotice().isEmpty(); }, 12000));
    const std::size_t kept = f->dlg->m_records.Count();

    qtmsim::SimMeter second(BusMeter());
    ASSERT_TRUE(second.Start());
    std::filesystem::remove(port);
    std::filesystem::create_symlink(second.PortPath(), port);
    ASSERT_TRUE(QTest::qWaitFor([&] { return f->dlg->m_records.Count() > kept; }, 10000));
    EXPECT_TRUE(f->dlg->LinkNotice().isEmpty());
    EXPECT_TRUE(f->prompts->Messages().isEmpty()) << f->prompts->Messages().join("|").toStdString();
    f.reset();
    second.Stop();
    first->Stop();
    std::filesystem::remove_all(dir);
}

TEST_F(LiveLoopTest, AShortPowerReplyKeepsThePreviousReading) {
    Open();
    meter.power = 7.5f;
    f->sim->SetReplyOverride(meter.Hook());
    Start()->click();
    ASSERT_TRUE(WaitForRows(1));
    meter.powerShort = true;
    const std::size_t count = f->dlg->m_records.Count();
    QTest::qWait(2500);
    // One pass may have been past its power read when the reply went short.
    EXPECT_LE(f->dlg->m_records.Count(), count + 1);
    const std::size_t stuck = f->dlg->m_records.Count();
    QTest::qWait(1500);
    EXPECT_EQ(f->dlg->m_records.Count(), stuck);
    EXPECT_EQ(f->dlg->m_fPower, 7.5f);
    EXPECT_EQ(f->Text("lblPower_1002"), "7.5000");
}

TEST_F(LiveLoopTest, StopThenStartAtOnceKeepsOneWorkerAndNeverWaits) {
    Open();
    Start()->click();
    for (int i = 0; i < 5; ++i) {
        const auto before = Clock::now();
        Start()->click();  // Stop
        Start()->click();  // Start again while the worker is inside its pass
        // Well under one USB pass (over 400 ms): the clicks never wait for the worker's pass.
        EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(400));
    }
    ASSERT_TRUE(WaitForRows(1));
    EXPECT_EQ(f->dlg->Run().MostWorkersAlive(), 1);
    // After a Stop the worker ends at its next check; a Start then needs a new one.
    Start()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f->dlg->Run().WorkerAlive(); }, 5000));
    const std::size_t count = f->dlg->m_records.Count();
    const int started = f->dlg->Run().WorkersStarted();
    Start()->click();
    ASSERT_TRUE(WaitForRows(static_cast<int>(count) + 1));
    EXPECT_EQ(f->dlg->Run().WorkersStarted(), started + 1);
    EXPECT_EQ(f->dlg->Run().MostWorkersAlive(), 1);
    // A plain Stop and Start continue the numbering.
    EXPECT_EQ(Cell(static_cast<int>(count), 0), QString::number(count + 1));
}

TEST_F(LiveLoopTest, ClosingDuringARunEndsTheWorkerPromptly) {
    Open();
    Start()->click();
    QTest::qWait(250);  // inside a pass
    const auto before = Clock::now();
    f->dlg->reject();
    EXPECT_FALSE(f->dlg->Run().WorkerAlive());
    // At most the one exchange under way is waited for.
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(1500));
}

TEST_F(LiveLoopTest, StartAfterAnImportEmptiesTheListAndNumbersFromOne) {
    Open();
    for (float v : {1.0f, 2.0f, 3.0f})
        f->dlg->m_records.AppendImported(v);
    f->dlg->m_bImportedView = true;
    f->dlg->m_chart.LiveY[5] = 42.0;
    Start()->click();
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(f->dlg->m_chart.LiveY[5], 0.0);
    ASSERT_TRUE(WaitForRows(1));
    EXPECT_EQ(Cell(0, 0), "1");
    Start()->click();
    EXPECT_FALSE(f->dlg->m_bImportedView);
}

TEST_F(LiveLoopTest, AFullBufferStopsTheRunAndSaysWhy) {
    Open();
    ReadingStore& store = f->dlg->m_records;
    while (store.Count() + 1 < store.Capacity()) {
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
        store.AppendLive(1.0f, 2.0, 3.0f);  // a listed row each, as a long run leaves them
#else
        store.AppendUnlisted(1.0f);  // quicker where every memory access is checked
#endif
    }
    const int rowsBefore = Rows();
    Start()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Start()->text() == QStringLiteral("Start"); }, 5000));
    EXPECT_TRUE(store.Full());
    EXPECT_EQ(Rows(), rowsBefore + 1);
    EXPECT_EQ(Cell(Rows() - 1, 0), "1000000");
    ASSERT_EQ(f->prompts->Messages().size(), 1);
    EXPECT_TRUE(f->prompts->Messages()[0].contains("1000000"));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // The whole window with a full buffer stays a modest program (sanitizers add shadow memory).
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    EXPECT_LT(resident * sysconf(_SC_PAGESIZE), 150L * 1024 * 1024);
#endif
}

TEST_F(LiveLoopTest, ABusRunShowsTheBlockWithoutListRows) {
    Open(BusMeter());
    f->OpenBus();
    ASSERT_TRUE(f->dlg->m_bConnected) << f->prompts->Messages().join("|").toStdString();
    f->sim->WithModel([](qtmsim::MeterModel& m) { m.State().k = 1.25f; });
    f->prompts->Clear();
    Start()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f->dlg->m_records.Count() >= 1; }, 6000));
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(f->dlg->m_records[0].energy, 0.0);
    EXPECT_EQ(f->Text("edtK_1141"), "1.250");
    EXPECT_EQ(f->dlg->m_strK, "1.250");
    EXPECT_TRUE(f->Text("lblT_1012").startsWith(QStringLiteral("T(℃):")));
    // Stop cuts the pause before the next block short.
    const auto before = Clock::now();
    Start()->click();
    f->dlg->Run().Finish();
    EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(900));
}

TEST_F(LiveLoopTest, ABusRunLeavesAnEditTheOperatorIsChanging) {
    Open(BusMeter());
    f->OpenBus();
    f->prompts->Clear();
    QLineEdit* k = f->Find<QLineEdit>("edtK_1141");
    QLineEdit* cal = f->Find<QLineEdit>("edtCal_1142");
    k->setText(QStringLiteral("7.5"));
    k->setModified(true);  // as typing leaves it
    cal->setText(QStringLiteral("9.999"));
    Start()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return f->dlg->m_records.Count() >= 2; }, 8000));
    Start()->click();
    EXPECT_EQ(k->text(), QStringLiteral("7.5"));
    EXPECT_EQ(cal->text(), QStringLiteral("2.500"));  // not being changed: follows the meter
}

TEST_F(LiveLoopTest, AUsbRunHoldsItsPortUntilStop) {
    Open();
    f->sim->SetReplyOverride(meter.Hook());
    // Between two exchanges the port is closed; the run's hold keeps other programs out
    // then (PortHoldTest shows that a hold refuses them).
    const auto held = [this] {
        const int fd = ::open(f->sim->PortPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        const bool isHeld = fd >= 0 && qtm::IsPortHeldHere(fd);
        if (fd >= 0) ::close(fd);
        return isHeld;
    };
    EXPECT_FALSE(held());
    Start()->click();
    ASSERT_TRUE(WaitForRows(2));  // the run's own exchanges still open it
    EXPECT_TRUE(held());
    Start()->click();
    EXPECT_FALSE(held());
}

}  // namespace
