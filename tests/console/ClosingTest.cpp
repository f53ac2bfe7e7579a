#include <gtest/gtest.h>

#include <signal.h>

#include <QTest>
#include <fstream>
#include <functional>
#include <iterator>

#include "console/SignalCloser.h"
#include "service/CsvFormat.h"
#include "service/CsvLog.h"
#include "tests/console/DialogFixture.h"
#include "tests/device/TempDir.h"

namespace {

using Choice = OperatorPrompts::SaveChoice;

const QString kPortFailed = QStringLiteral(" -----< Serial Port open failed！ >-----");

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Questions(const RecordingPrompts& prompts) {
    int n = 0;
    for (const auto& entry : prompts.Entries())
        n += entry.kind == RecordingPrompts::Kind::SaveDiscardCancel;
    return n;
}

// A window that believes a meter is connected, so Start runs (its passes find no meter).
// Closing needs none of the opening sequence and its second-long search for a meter.
std::unique_ptr<DialogFixture> ShownWindow() {
    auto f = std::make_unique<DialogFixture>();
    f->dlg->show();
    f->dlg->m_bConnected = true;
    f->prompts->Clear();
    return f;
}

void AddReadings(DialogFixture& f, int count) {
    for (int i = 0; i < count; ++i)
        f.dlg->m_records.AppendLive(10.0f + static_cast<float>(i), 0.5 * i, 0.4f);
}

enum class Path { Escape, Enter, CloseBox };

void CloseBy(DialogFixture& f, Path path) {
    QLineEdit* field = f.Find<QLineEdit>("edtSN_1137");
    field->setFocus();
    switch (path) {
        case Path::Escape:
            QTest::keyClick(field, Qt::Key_Escape);
            break;
        case Path::Enter:
            QTest::keyClick(field, Qt::Key_Return);
            break;
        case Path::CloseBox:
            f.dlg->close();
            break;
    }
}

}  // namespace

TEST(Closing, UnsavedReadingsAreAskedAboutOnceOnEveryPath) {
    qtm::test::TempDir dir;
    const struct {
        Path path;
        int readings;
        Choice choice;
        bool closes;
    } cases[] = {
        {Path::Escape, 3, Choice::Cancel, false},   {Path::Enter, 3, Choice::Cancel, false},
        {Path::CloseBox, 3, Choice::Cancel, false}, {Path::Escape, 3, Choice::Discard, true},
        {Path::Enter, 3, Choice::Discard, true},    {Path::CloseBox, 3, Choice::Discard, true},
        {Path::Escape, 3, Choice::Save, true},      {Path::Enter, 3, Choice::Save, true},
        {Path::CloseBox, 3, Choice::Save, true},    {Path::CloseBox, 0, Choice::Cancel, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const auto file = dir.Path() / ("closing-" + std::to_string(n++) + ".csv");
        auto f = ShownWindow();
        f->Find<QPushButton>("btnStart_1004")->click();
        AddReadings(*f, c.readings);
        const std::string expected = qtm::Utf16LeBytes(qtm::CsvText(
            qtm::CsvHeaderOfModel(f->dlg->m_strModel.toStdString()), f->dlg->m_records.Records()));
        f->prompts->ScriptSaveChoice(c.choice);
        f->prompts->ScriptSavePath(QString::fromStdString(file.string()));

        CloseBy(*f, c.path);
        if (c.choice == Choice::Save) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !f->dlg->isVisible(); }, 5000));
        }
        EXPECT_EQ(Questions(*f->prompts), c.readings > 0 ? 1 : 0);
        EXPECT_EQ(f->dlg->isVisible(), !c.closes);
        // Cancel leaves the run going; a window that closed ended it and its journal.
        EXPECT_EQ(f->dlg->m_bRunning.load(), !c.closes);
        EXPECT_EQ(f->dlg->m_records.Count(), static_cast<std::size_t>(c.readings));
        EXPECT_EQ(std::filesystem::exists(file), c.choice == Choice::Save && c.readings > 0);
        if (std::filesystem::exists(file)) {
            EXPECT_EQ(ReadBytes(file), expected);
        }
        // A window that closed took its journal along, mark and all.
        if (c.closes) {
            std::error_code ec;
            EXPECT_EQ(std::filesystem::directory_iterator(qtm::JournalFolder(), ec),
                      std::filesystem::directory_iterator());
        }
    }
}

TEST(Closing, StopEndsTheRunWhateverBecameOfTheConnection) {
    auto f = ShownWindow();
    f->dlg->OnInitDialog();  // the fields the bus run reads its address from
    QPushButton* start = f->Find<QPushButton>("btnStart_1004");
    const struct {
        const char* what;
        std::function<void()> act;
    } cases[] = {
        {"a failed Scan", [&] { f->Find<QPushButton>("btnScan_1001")->click(); }},
        {"a COMM change", [&] { f->Choose("cmbComm_1020", 1); }},
        {"a failed Open",
         [&] {
             f->Find<QComboBox>("cmbPort_1016")->setEditText("/nonexistent/ttyNone");
             f->Find<QPushButton>("btnOpen_1021")->click();
         }},
    };
    for (const auto& c : cases) {
        f->dlg->m_bConnected = true;
        start->click();
        ASSERT_TRUE(f->dlg->m_bRunning.load()) << c.what;
        c.act();
        ASSERT_FALSE(f->dlg->m_bConnected) << c.what;
        f->prompts->Clear();
        start->click();
        EXPECT_FALSE(f->dlg->m_bRunning.load()) << c.what;
        EXPECT_EQ(start->text(), QStringLiteral("Start")) << c.what;
        EXPECT_TRUE(f->prompts->Messages().isEmpty()) << c.what;
    }
    // Start still needs the meter.
    start->click();
    EXPECT_EQ(f->prompts->Messages(), QStringList{kPortFailed});
    EXPECT_FALSE(f->dlg->m_bRunning.load());
}

TEST(Closing, ASignalEndsTheSessionAndOnlyUnsavedReadingsAreOfferedLater) {
    qtm::test::TempDir dir;
    for (const bool saved : {true, false}) {
        SCOPED_TRACE(saved);
        auto f = ShownWindow();
        f->Find<QPushButton>("btnStart_1004")->click();
        AddReadings(*f, 3);
        if (saved) {
            f->Find<QPushButton>("btnStart_1004")->click();  // Stop
            f->prompts->ScriptSavePath(QString::fromStdString((dir.Path() / "run.csv").string()));
            f->dlg->OnSave();
            ASSERT_TRUE(QTest::qWaitFor([&] { return !f->dlg->SaveRun().Busy(); }, 5000));
            QCoreApplication::processEvents();  // the save's report
        }
        int caught = 0;
        SignalCloser closer([&](int signal) {
            caught = signal;
            f->dlg->EndSession();
        });
        ASSERT_TRUE(closer.Installed());
        ::raise(SIGTERM);
        ASSERT_TRUE(QTest::qWaitFor([&] { return caught != 0; }, 3000));
        EXPECT_EQ(caught, SIGTERM);
        EXPECT_FALSE(f->dlg->m_bRunning.load());

        // The next start.
        DialogFixture next;
        next.prompts->ScriptSaveChoice(Choice::Cancel);
        next.dlg->OfferJournalRecovery();
        EXPECT_EQ(Questions(*next.prompts), saved ? 0 : 1);
        if (!saved) {
            EXPECT_TRUE(next.prompts->Entries()[0].text.contains(QStringLiteral("3 readings")));
        }
    }
}
