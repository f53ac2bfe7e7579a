#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProgressDialog>
#include <QTest>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

#include "chart/ChartAxis.h"
#include "chart/ChartCtrl.h"
#include "service/CsvFormat.h"
#include "service/CsvLog.h"
#include "service/ReadingFormat.h"
#include "service/RecordImport.h"
#include "sim/MeterModel.h"
#include "tests/console/DialogFixture.h"
#include "tests/device/TempDir.h"

namespace {

const QString kPortFailed = QStringLiteral(" -----< Serial Port open failed！ >-----");
const QString kStopFirst = QStringLiteral(" -----< pls stop test!!! >-----");
const QString kImported = QStringLiteral(" -----< param read success!!! >-----");
const QString kSaved = QStringLiteral("Execl格式的数据文件导出完成！");
const QString kFileOpen = QStringLiteral("文件已被打开，请先关闭！");
const QString kFileCaption = QStringLiteral("   提示  ");

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DataHandlersTest : public ::testing::Test {
protected:
    void Open(qtmsim::MeterConfig config = SimConfig("QTX-200")) {
        f = std::make_unique<DialogFixture>(config);
        ASSERT_TRUE(f->started) << f->startError;
        f->dlg->OnInitDialog();
        ASSERT_TRUE(f->dlg->m_bConnected);
        f->prompts->Clear();
        f->sim->ClearLog();
    }
    int Rows() const { return f->dlg->m_records.Model().rowCount(); }
    QString Cell(int row, int column) const {
        const ReadingListModel& model = f->dlg->m_records.Model();
        return model.data(model.index(row, column)).toString();
    }
    // Clicks Import with the stored count set and waits for the import to end.
    bool Import(int stored) {
        f->dlg->m_nStorageUsed = stored;
        f->Find<QPushButton>("btnImport_1031")->click();
        return QTest::qWaitFor([&] { return !f->dlg->Import().Running(); }, 12000);
    }
    std::vector<std::uint8_t> PageBytesSent() const {
        std::vector<std::uint8_t> pages;
        for (const auto& request : f->sim->RequestLog())
            if (request.bytes.size() == 7 && request.bytes[3] == qtm::kStoredRecordsCode)
                pages.push_back(request.bytes[6]);
        return pages;
    }
    // Clicks Save and waits until the file is written and the outcome told.
    void ClickSave() {
        f->Find<QPushButton>("btnSave_1028")->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !f->dlg->SaveRun().Busy(); }, 5000));
    }
    std::filesystem::path Save(const std::string& name) {
        const auto path = dir.Path() / name;
        f->prompts->ScriptSavePath(QString::fromStdString(path.string()));
        ClickSave();
        return path;
    }
    std::u16string Header() const {
        return std::u16string(qtm::CsvHeaderOfModel(f->dlg->m_strModel.toStdString()));
    }

    qtm::test::TempDir dir;
    std::unique_ptr<DialogFixture> f;
};

TEST_F(DataHandlersTest, ImportIsRefusedWithoutAMeterAndDuringAMeasurement) {
    f = std::make_unique<DialogFixture>();
    f->dlg->OnInitDialog();
    f->prompts->Clear();
    f->Find<QPushButton>("btnImport_1031")->click();
    f->dlg->m_bConnected = true;
    f->dlg->m_bRunning = true;
    f->Find<QPushButton>("btnImport_1031")->click();
    f->dlg->m_bRunning = false;
    EXPECT_EQ(f->prompts->Messages(), (QStringList{kPortFailed, kStopFirst}));
    EXPECT_FALSE(f->dlg->Import().Running());
}

TEST_F(DataHandlersTest, ThirtyStoredReadingsFillListChartAndFile) {
    Open({.model = "QTX-210P", .records = 30});
    ASSERT_TRUE(Import(30));
    EXPECT_EQ(PageBytesSent(), (std::vector<std::uint8_t>{0, 1}));
    std::vector<float> stored;
    f->sim->WithModel([&](qtmsim::MeterModel& m) { stored = m.State().records; });
    ASSERT_EQ(Rows(), 30);
    for (int row = 0; row < 30; ++row) {
        std::string text;
        std::string unit;
        qtm::FormatReading(text, qtm::ReadingKind::Plain, stored[static_cast<std::size_t>(row)],
                           unit, "QTX-210P");
        EXPECT_EQ(Cell(row, 0), QString::number(row + 1));
        EXPECT_EQ(Cell(row, 1), QString::fromStdString(text));
        EXPECT_EQ(Cell(row, 2), QStringLiteral("0"));
        EXPECT_EQ(Cell(row, 3), QStringLiteral("0"));
        EXPECT_EQ(f->dlg->m_chart.LiveY[static_cast<std::size_t>(row)],
                  static_cast<double>(stored[static_cast<std::size_t>(row)]));
    }
    EXPECT_EQ(f->dlg->LiveChart()->GetBottomAxis()->GetMax(), 7500.0);
    EXPECT_TRUE(f->dlg->m_bImportedView);
    EXPECT_TRUE(f->Find<QPushButton>("btnSave_1028")->isEnabled());
    EXPECT_TRUE(f->Find<QPushButton>("btnClear_1005")->isEnabled());
    EXPECT_EQ(f->prompts->Messages(), QStringList{kImported});

    // Saved: the file holds the records numbered as the list, even when the list is
    // cleared while the file is being written.
    f->prompts->Clear();
    const auto file = dir.Path() / "import.csv";
    f->prompts->ScriptSavePath(QString::fromStdString(file.string()));
    f->Find<QPushButton>("btnSave_1028")->click();
    f->Find<QPushButton>("btnClear_1005")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f->dlg->SaveRun().Busy(); }, 5000));
    std::vector<qtm::MeasurementRecord> records;
    for (int i = 0; i < 30; ++i)
        records.push_back({i + 1, stored[static_cast<std::size_t>(i)], 0.0, 0.0f});
    EXPECT_EQ(ReadBytes(file),
              qtm::Utf16LeBytes(qtm::CsvText(qtm::CsvHeader(qtm::ModelGroup::PPFD), records)));
    ASSERT_EQ(f->prompts->Entries().back().text, kSaved);
    EXPECT_EQ(f->prompts->Entries().back().caption, kFileCaption);
}

TEST_F(DataHandlersTest, EmptyMemorySendsNoPageRequestAndSavesTheHeaderOnly) {
    Open();
    ASSERT_TRUE(Import(0));
    EXPECT_TRUE(PageBytesSent().empty());
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(f->prompts->Messages(), QStringList{kImported});
    const auto file = Save("empty.csv");
    EXPECT_EQ(ReadBytes(file), qtm::Utf16LeBytes(qtm::CsvText(Header(), {})));
}

TEST_F(DataHandlersTest, FullMemoryListsSevenThousandFiveHundredRows) {
    Open();
    qtmsim::MeterModel model({.records = 7500});
    std::vector<int> lowBytes;
    f->dlg->SetPageReader([&](int page) {
        const qtm::Bytes request = qtm::BuildPageRequest(page);
        lowBytes.push_back(request.back());
        qtm::PageResult result;
        result.status = qtm::PageStatus::Read;
        result.readings = qtm::DecodePage(model.Handle(request, 0.0).reply);
        return result;
    });
    ASSERT_TRUE(Import(7500));
    ASSERT_EQ(Rows(), 7500);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("1"));
    EXPECT_EQ(Cell(7499, 0), QStringLiteral("7500"));
    ASSERT_EQ(lowBytes.size(), 500u);
    EXPECT_EQ(lowBytes[256], 0);
    // Past page 255 the meter still gives each page in turn: every reading in its place.
    for (std::size_t i = 0; i < 7500; ++i)
        ASSERT_EQ(f->dlg->m_chart.LiveY[i], static_cast<double>(model.State().records[i])) << i;
    EXPECT_EQ(f->prompts->Messages(), QStringList{kImported});
}

TEST_F(DataHandlersTest, PageThatCannotBeSentIsLeftOutAndNamed) {
    Open();
    f->dlg->SetPageReader([](int page) {
        qtm::PageResult result;
        if (page == 1) return result;
        result.status = qtm::PageStatus::Read;
        result.readings.fill(static_cast<float>(page + 1));
        return result;
    });
    ASSERT_TRUE(Import(45));
    ASSERT_EQ(Rows(), 30);
    EXPECT_EQ(Cell(15, 0), QStringLiteral("16"));
    EXPECT_EQ(Cell(15, 1), QStringLiteral("3"));
    ASSERT_EQ(f->prompts->Messages().size(), 1);
    EXPECT_TRUE(f->prompts->Messages()[0].contains(QStringLiteral("page(s) 1 could not be read")))
        << f->prompts->Messages()[0].toStdString();
}

TEST_F(DataHandlersTest, PagesWithoutAWholeAnswerAreNeitherListedNorChartedButCounted) {
    Open();
    const struct {
        int stored;
        int firstSilentPage;
        int lastSilentPage;
        int rows;
        QString message;
    } cases[] = {
        {45, 1, 1, 30,
         QStringLiteral(" -----< Import finished with 30 readings, but page(s) 1 gave no whole "
                        "answer and are left out; 15 readings are missing. >-----")},
        {7500, 1, 499, 15,
         QStringLiteral(
             " -----< Import stopped after 4 of 500 pages: 3 pages in a row gave no "
             "answer. The 15 readings read are kept; 7485 readings are missing. >-----")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        f->prompts->Clear();
        f->dlg->SetPageReader([&c](int page) {
            qtm::PageResult result;
            const bool silent = page >= c.firstSilentPage && page <= c.lastSilentPage;
            result.status = silent ? qtm::PageStatus::NoAnswer : qtm::PageStatus::Read;
            result.readings.fill(silent ? 0.0f : static_cast<float>(page + 1));
            return result;
        });
        ASSERT_TRUE(Import(c.stored));
        ASSERT_EQ(Rows(), c.rows);
        for (int row = 0; row < c.rows; ++row) {
            EXPECT_NE(Cell(row, 1), QStringLiteral("0")) << row;
            EXPECT_NE(f->dlg->m_chart.LiveY[static_cast<std::size_t>(row)], 0.0) << row;
        }
        EXPECT_EQ(f->prompts->Messages(), QStringList{c.message});
    }
}

TEST_F(DataHandlersTest, CancelKeepsThePagesRead) {
    Open();
    std::atomic<bool> cancelled{false};
    f->dlg->SetPageReader([&](int page) {
        // Page 1 is in progress until the operator has pressed Cancel.
        while (page >= 1 && !cancelled)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        qtm::PageResult result;
        result.status = qtm::PageStatus::Read;
        result.readings.fill(1.5f);
        return result;
    });
    f->dlg->m_nStorageUsed = 7500;
    f->Find<QPushButton>("btnImport_1031")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows() >= 15; }, 5000));
    auto* progress = f->dlg->findChild<QProgressDialog*>(QStringLiteral("dlgImportProgress"));
    ASSERT_NE(progress, nullptr);
    EXPECT_EQ(progress->maximum(), 500);
    progress->findChild<QPushButton*>()->click();  // its Cancel button
    cancelled = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f->dlg->Import().Running(); }, 5000));
    EXPECT_EQ(Rows(), 30);
    ASSERT_EQ(f->prompts->Messages().size(), 1);
    EXPECT_TRUE(f->prompts->Messages()[0].contains(QStringLiteral("cancelled after 2 of 500")))
        << f->prompts->Messages()[0].toStdString();
    EXPECT_TRUE(f->Find<QPushButton>("btnSave_1028")->isEnabled());
}

TEST_F(DataHandlersTest, ClosingDuringAnImportStopsItAfterThePageInProgress) {
    Open();
    std::atomic<int> pagesRead{0};
    f->dlg->SetPageReader([&](int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++pagesRead;
        return qtm::PageResult{.status = qtm::PageStatus::Read};
    });
    f->dlg->m_nStorageUsed = 7500;
    f->Find<QPushButton>("btnImport_1031")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows() >= 15; }, 5000));
    f->dlg->reject();
    const int atClose = pagesRead;
    EXPECT_LE(atClose, 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(pagesRead, atClose);  // nothing reads on after the window closed
}

TEST_F(DataHandlersTest, FailedSaveSaysWhyAndLeavesTheOldFile) {
    Open();
    ASSERT_TRUE(Import(0));
    f->prompts->Clear();
    const auto plain = dir.Path() / "plain";
    std::ofstream(plain) << "old";
    f->prompts->ScriptSavePath(QString::fromStdString((plain / "x.csv").string()));
    ClickSave();
    ASSERT_EQ(f->prompts->Entries().size(), 2u);  // the save question, then the message
    const auto& message = f->prompts->Entries().back();
    EXPECT_EQ(message.caption, kFileCaption);
    EXPECT_TRUE(message.text.startsWith(kFileOpen));
    EXPECT_TRUE(message.text.contains(QStringLiteral("is not a folder")))
        << message.text.toStdString();
    EXPECT_EQ(ReadBytes(plain), "old");
}

// ---- The journal of a live run and its recovery ----

// The journals in the folder (a saved run's mark beside its journal is not one).
std::vector<std::filesystem::path> JournalFiles() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(qtm::JournalFolder(), ec))
        if (entry.path().extension() == ".csv") files.push_back(entry.path());
    return files;
}

TEST_F(DataHandlersTest, LiveRunIsJournaledUntilClearAndSavesLikeTheList) {
    Open({.model = "QTX-200LM"});
    f->Find<QPushButton>("btnStart_1004")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows() >= 2; }, 12000));
    f->Find<QPushButton>("btnStart_1004")->click();  // Stop: later passes are not taken

    // Being written by a living window: not offered, but every record is in it.
    EXPECT_TRUE(qtm::UnfinishedJournals(qtm::JournalFolder()).empty());
    const auto journals = JournalFiles();
    ASSERT_EQ(journals.size(), 1u);
    const std::string expected = qtm::Utf16LeBytes(
        qtm::CsvText(qtm::CsvHeader(qtm::ModelGroup::LuminousFlux), f->dlg->m_records.Records()));
    EXPECT_EQ(ReadBytes(journals[0]), expected);
    for (std::size_t i = 0; i < f->dlg->m_records.Count(); ++i)
        EXPECT_EQ(f->dlg->m_records[i].number, static_cast<int>(i) + 1);

    // Save writes the same bytes, and keeps the journal (the run may go on).
    EXPECT_EQ(ReadBytes(Save("live.csv")), expected);
    EXPECT_EQ(JournalFiles().size(), 1u);

    f->Find<QPushButton>("btnClear_1005")->click();
    EXPECT_TRUE(std::filesystem::is_empty(qtm::JournalFolder()));
}

TEST_F(DataHandlersTest, ClosingTheWindowEndsTheJournal) {
    Open();
    f->Find<QPushButton>("btnStart_1004")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Rows() >= 1; }, 12000));
    EXPECT_EQ(JournalFiles().size(), 1u);
    f->dlg->reject();
    EXPECT_TRUE(JournalFiles().empty());
}

// Runs work while writes to regular files beyond limit bytes fail as on a full disk, for
// root and normal users alike.
template <typename Work>
void OnAFullDisk(rlim_t limit, Work work) {
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const sighandler_t signal = ::signal(SIGXFSZ, SIG_IGN);
    const rlimit lower{limit, old.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &lower);
    work();
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, signal);
}

TEST_F(DataHandlersTest, AFullDiskDuringARunIsToldOnceAndLeavesNoCutRow) {
    f = std::make_unique<DialogFixture>();
    f->dlg->m_bConnected = true;  // Start runs; its passes find no meter
    f->Find<QPushButton>("btnStart_1004")->click();
    auto add = [&](int count) {
        for (int i = 0; i < count; ++i)
            f->dlg->m_records.AppendLive(1.5f * static_cast<float>(i), 2.0 * i, 0.4f);
    };
    add(3);
    const auto journals = JournalFiles();
    ASSERT_EQ(journals.size(), 1u);
    const auto size = std::filesystem::file_size(journals[0]);
    OnAFullDisk(size + 20, [&] { add(5); });  // room for part of one row
    EXPECT_EQ(std::filesystem::file_size(journals[0]), size);
    ASSERT_EQ(f->prompts->Messages().size(), 1);
    EXPECT_TRUE(f->prompts->Messages()[0].contains(QStringLiteral("disk is full")));
    // With room again, the readings the disk refused go in with the next one.
    add(1);
    EXPECT_EQ(ReadBytes(journals[0]),
              qtm::Utf16LeBytes(qtm::CsvText(Header(), f->dlg->m_records.Records())));
    EXPECT_EQ(f->prompts->Messages().size(), 1);
    // A journal that cannot even take its header leaves nothing behind.
    f->dlg->OnClear();
    OnAFullDisk(10, [&] { add(1); });
    EXPECT_EQ(f->prompts->Messages().size(), 2);
    EXPECT_TRUE(std::filesystem::is_empty(qtm::JournalFolder()));
}

TEST_F(DataHandlersTest, RecoveryOffersOnlyWhatWouldBeLostAndKeepsWhatItCannotRead) {
    const auto folder = qtm::JournalFolder();
    std::filesystem::create_directories(folder);
    const std::u16string_view head = qtm::CsvHeader(qtm::ModelGroup::Blue);
    const std::u16string start = qtm::CsvText(head, {});  // the mark, the header, its end
    std::vector<qtm::MeasurementRecord> five;
    for (int i = 1; i <= 5; ++i)
        five.push_back({i, 1.0f, 2.0, 3.0f});
    const std::string run = qtm::Utf16LeBytes(qtm::CsvText(head, five));
    enum Outcome { Removed, Offered, Named };
    const struct {
        const char* name;
        std::string bytes;
        const char* mark;  // what a Save noted, if anything
        Outcome outcome;
    } cases[] = {
        {"run-2.csv", qtm::Utf16LeBytes(start + u"1,2.0"), nullptr, Removed},  // first reading cut
        {"run-3.csv", run, "5\n/home/tech/run.csv\n", Removed},                // saved in full
        {"run-4.csv", run, "3\n/home/tech/run.csv\n", Offered},
        {"run-5.csv", qtm::Utf16LeBytes(start + u"x,y\r\nz\r\n"), nullptr, Named},
        {"run-6.csv", "\x01\x02 no text", nullptr, Named},
    };
    for (const auto& c : cases) {
        std::ofstream(folder / c.name, std::ios::binary) << c.bytes;
        if (c.mark) std::ofstream(folder / (std::string(c.name) + ".saved")) << c.mark;
    }
    f = std::make_unique<DialogFixture>();
    f->prompts->ScriptSaveChoice(OperatorPrompts::SaveChoice::Cancel);
    f->dlg->OfferJournalRecovery();
    const QString named = f->prompts->Messages().join(QStringLiteral("\n"));
    for (const auto& c : cases) {
        const auto path = QString::fromStdString((folder / c.name).string());
        EXPECT_EQ(std::filesystem::exists(folder / c.name), c.outcome != Removed) << c.name;
        EXPECT_EQ(named.contains(path), c.outcome == Named) << c.name;
    }
    const auto& question = f->prompts->Entries().front();
    ASSERT_EQ(question.kind, RecordingPrompts::Kind::SaveDiscardCancel);
    EXPECT_TRUE(
        question.text.contains(QStringLiteral("The first 3 were saved to /home/tech/run.csv")));
    EXPECT_EQ(f->prompts->Entries().size(), 3u);  // the question and the two journals named
}

// A journal as a killed window leaves it: written by a process that was then killed.
std::filesystem::path KilledRunJournal(int records) {
    const pid_t child = ::fork();
    if (child == 0) {
        qtm::Journal journal;
        if (!journal.Start(qtm::CsvHeader(qtm::ModelGroup::Blue)).Ok()) ::_exit(1);
        for (int i = 1; i <= records; ++i)
            journal.Append(
                {i, 10.0f * static_cast<float>(i), 0.5 * i, 0.4f * static_cast<float>(i)});
        ::kill(::getpid(), SIGKILL);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const auto left = qtm::UnfinishedJournals(qtm::JournalFolder());
    return left.size() == 1 && WIFSIGNALED(status) ? left[0] : std::filesystem::path();
}

TEST_F(DataHandlersTest, KilledRunIsOfferedAndSavedAtStartUp) {
    const auto journal = KilledRunJournal(25);
    ASSERT_FALSE(journal.empty());
    const std::string journalBytes = ReadBytes(journal);
    const auto file = dir.Path() / "recovered.csv";
    f = std::make_unique<DialogFixture>();
    f->prompts->ScriptSaveChoice(OperatorPrompts::SaveChoice::Save);
    f->prompts->ScriptSavePath(QString::fromStdString(file.string()));
    f->dlg->OnInitDialog();
    f->prompts->Clear();
    // Offered once the window is up.
    QCoreApplication::processEvents();
    const auto& entries = f->prompts->Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].kind, RecordingPrompts::Kind::SaveDiscardCancel);
    EXPECT_TRUE(entries[0].text.contains(QStringLiteral("25 readings")))
        << entries[0].text.toStdString();
    EXPECT_EQ(entries[2].text, kSaved);
    EXPECT_EQ(ReadBytes(file), journalBytes);
    EXPECT_FALSE(std::filesystem::exists(journal));
}

TEST_F(DataHandlersTest, RecoveryKeepsTheJournalUnlessDiscardIsConfirmed) {
    const auto journal = KilledRunJournal(3);
    ASSERT_FALSE(journal.empty());
    f = std::make_unique<DialogFixture>();
    using Choice = OperatorPrompts::SaveChoice;
    const struct {
        Choice choice;
        bool confirm;  // the answer to "deleted for good", when Discard asks it
        bool kept;
    } cases[] = {
        {Choice::Save, false, true},  // no file chosen
        {Choice::Cancel, false, true},
        {Choice::Discard, false, true},
        {Choice::Discard, true, false},
    };
    for (const auto& c : cases) {
        f->prompts->ScriptSaveChoice(c.choice);
        if (c.choice == Choice::Discard) f->prompts->ScriptOkCancel(c.confirm);
        f->dlg->OfferJournalRecovery();
        EXPECT_EQ(std::filesystem::exists(journal), c.kept) << static_cast<int>(c.choice);
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
