#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <fstream>
#include <iterator>

#include "console/StatisticsWindow.h"
#include "service/ReadingObject.h"
#include "tests/console/DialogFixture.h"
#include "tests/device/TempDir.h"

namespace {

using namespace std::chrono;

const system_clock::time_point kTaken =
    sys_days(2026y / 12 / 9) + hours(10) + minutes(15) + seconds(2) + milliseconds(123);

qtm::ReadingDetail LiveDetail(int second) {
    qtm::ReadingDetail d;
    d.time = kTaken + seconds(second);
    d.temperature = 25.5f;
    d.voltage = 3.25f;
    d.ad = 812;
    return d;
}

QAction* ActionNamed(QWidget* window, const QString& text) {
    for (QAction* action : window->actions())
        if (action->text() == text) return action;
    return nullptr;
}

TEST(AnalysisWindowTest, SaveWithDetailsWritesWhatTheReaderTakesBack) {
    DialogFixture f(SimConfig("QTX-210P"));
    ASSERT_TRUE(f.started) << f.startError;
    f.dlg->OnInitDialog();
    ASSERT_TRUE(f.dlg->m_bConnected);
    f.prompts->Clear();
    f.dlg->m_records.AppendLive(12.5f, 0.25, 1.5f, LiveDetail(0));
    f.dlg->m_records.AppendLive(13.0f, 0.5, 2.5f, LiveDetail(1));

    qtm::test::TempDir dir;
    const auto path = dir.Path() / "details.csv";
    f.prompts->ScriptSavePath(QString::fromStdString(path.string()));
    QAction* save = ActionNamed(f.dlg.get(), QStringLiteral("Save with details…"));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    save->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.dlg->DetailedSaveRun()->Busy(); }, 5000));
    ASSERT_EQ(f.prompts->Messages().size(), 1);
    EXPECT_TRUE(f.prompts->Messages()[0].startsWith(QStringLiteral("2 readings saved")));

    std::ifstream in(path, std::ios::binary);
    const std::string bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_TRUE(bytes.starts_with("\xEF\xBB\xBF# program: qtm200debug\r\n# version: "));
    const qtm::ReadingTable table = qtm::ParseReadingCsv(bytes);
    std::vector<std::string> keys;
    for (const auto& [key, value] : table.metadata)
        keys.push_back(key);
    // The simulated meter answered every read whole; its Cal K is never read over USB.
    EXPECT_EQ(keys,
              (std::vector<std::string>{"program", "version", "saved", "port", "link", "serial",
                                        "model", "band", "range", "cal", "k", "savetime"}));
    EXPECT_EQ(table.metadata[3].second, f.sim->PortPath());
    EXPECT_EQ(table.metadata[6].second, "QTX-210P");
    EXPECT_EQ(table.metadata[9].second, "2.5");
    EXPECT_EQ(table.header.size(), qtm::ReadingColumns::UsbLive().Count());
    ASSERT_EQ(table.rows.size(), 2u);
    const std::vector<std::string> expected = {"2",       "2026-12-09T10:15:03.123Z",
                                               "13",      "umol/cm²/s",
                                               "0.5",     "mj/cm²",
                                               "2.5",     "25.5",
                                               "3.25",    "812",
                                               "24050017"};
    EXPECT_EQ(table.rows[1], expected);
    // Those readings are in a file now: closing does not ask about them.
    f.dlg->reject();
    for (const RecordingPrompts::Entry& entry : f.prompts->Entries())
        EXPECT_NE(entry.kind, RecordingPrompts::Kind::SaveDiscardCancel)
            << entry.text.toStdString();
}

TEST(AnalysisWindowTest, ALiveRowTellsItsTimeAndAnImportedRowNothing) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    ReadingListView* list = f.Find<ReadingListView>("lstReadings_1052");
    f.dlg->m_records.AppendLive(1.0f, 0.0, 0.0f, LiveDetail(0));
    const QAbstractItemModel* model = list->model();
    EXPECT_EQ(model->data(model->index(0, 3), Qt::ToolTipRole).toString(),
              QStringLiteral("Taken 2026-12-09T10:15:02.123Z (UTC)"));
    // Over the row, the list shows it.
    f.dlg->show();
    const QPoint onRow(10, list->rowHeight() / 2);
    QHelpEvent help(QEvent::ToolTip, onRow, list->viewport()->mapToGlobal(onRow));
    QApplication::sendEvent(list->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Taken 2026-12-09T10:15:02.123Z (UTC)"));

    f.dlg->m_records.Clear();
    f.dlg->m_records.AppendImported(12.5f);
    EXPECT_FALSE(model->data(model->index(0, 0), Qt::ToolTipRole).isValid());
}

TEST(AnalysisWindowTest, StatisticsWindowFollowsTheReadingsAndCopiesItsTable) {
    DialogFixture f;
    f.dlg->OnInitDialog();
    QAction* show = ActionNamed(f.dlg.get(), QStringLiteral("Statistics…"));
    ASSERT_NE(show, nullptr);
    show->trigger();
    StatisticsWindow* window = f.dlg->Statistics();
    ASSERT_TRUE(window && window->isVisible());
    EXPECT_FALSE(window->isModal());
    for (int i = 0; i < 4; ++i)
        f.dlg->m_records.AppendLive(2.0f * static_cast<float>(i + 1), 0.0, 0.0f, LiveDetail(i));
    // Looked at again within a refresh or two.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->Text().contains(QStringLiteral("Mean (lx)\t5\t")); }, 2000));
    QTest::keyClick(window, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), window->Text());
}

}  // namespace
