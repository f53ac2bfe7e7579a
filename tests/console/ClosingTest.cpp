#include <gtest/gtest.h>

#include <signal.h>

#include <QTest>
#include <fstream>
#include <iterator>

#include "console/SignalCloser.h"
#include "service/CsvFormat.h"
#include "service/CsvLog.h"
#include "tests/console/DialogFixture.h"
#include "tests/device/TempDir.h"

namespace {

using Choice = OperatorPrompts::SaveChoice;

int Questions(const RecordingPrompts& prompts) {
    int n = 0;
    for (const auto& entry : prompts.Entries())
        n += entry.kind == RecordingPrompts::Kind::SaveDiscardCancel;
    return n;
}

// A shown window whose run is on, with readings: it believes a meter is connected (its
// passes find none). Closing needs none of the opening sequence and its search for a meter.
std::unique_ptr<DialogFixture> RunningWindow(int readings) {
    auto f = std::make_unique<DialogFixture>();
    f->dlg->show();
    f->dlg->m_bConnected = true;
    f->Find<QPushButton>("btnStart_1004")->click();
    for (int i = 0; i < readings; ++i)
        f->dlg->m_records.AppendLive(10.0f + static_cast<float>(i), 0.5 * i, 0.4f);
    return f;
}

}  // namespace

TEST(Closing, UnsavedReadingsAreAskedAboutOnceOnEveryPath) {
    qtm::test::TempDir dir;
    enum Path { Escape, Enter, CloseBox };
    const struct {
        Path path;
        int readings;
        Choice choice;
        bool closes;
    } cases[] = {
        {Escape, 3, Choice::Cancel, false},   {Enter, 3, Choice::Cancel, false},
        {CloseBox, 3, Choice::Cancel, false}, {Escape, 3, Choice::Discard, true},
        {Enter, 3, Choice::Discard, true},    {CloseBox, 3, Choice::Discard, true},
        {Escape, 3, Choice::Save, true},      {Enter, 3, Choice::Save, true},
        {CloseBox, 3, Choice::Save, true},    {CloseBox, 0, Choice::Cancel, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const auto file = dir.Path() / ("closing-" + std::to_string(n++) + ".csv");
        auto f = RunningWindow(c.readings);
        const std::u16string expected = qtm::CsvText(
            qtm::CsvHeaderOfModel(f->dlg->m_strModel.toStdString()), f->dlg->m_records.Records());
        f->prompts->ScriptSaveChoice(c.choice);
        f->prompts->ScriptSavePath(QString::fromStdString(file.string()));

        QLineEdit* field = f->Find<QLineEdit>("edtSN_1137");
        field->setFocus();
        if (c.path == CloseBox) {
            f->dlg->close();
        } else {
            QTest::keyClick(field, c.path == Escape ? Qt::Key_Escape : Qt::Key_Return);
        }
        if (c.choice == Choice::Save) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return !f->dlg->isVisible(); }, 5000));
        }
        EXPECT_EQ(Questions(*f->prompts), c.readings > 0 ? 1 : 0);
        EXPECT_EQ(f->dlg->isVisible(), !c.closes);
        EXPECT_EQ(f->dlg->m_bRunning.load(), !c.closes);  // Cancel leaves the run going
        const auto saved = qtm::ReadCsvFile(file);
        EXPECT_EQ(saved.has_value(), c.choice == Choice::Save && c.readings > 0);
        if (saved) {
            EXPECT_EQ(qtm::CsvText(saved->header, saved->records), expected);
        }
        // A window that closed took its journal along, mark and all.
        std::error_code ec;
        EXPECT_EQ(std::filesystem::directory_iterator(qtm::JournalFolder(), ec) ==
                      std::filesystem::directory_iterator(),
                  c.closes);
    }
}

TEST(Closing, StopEndsTheRunAfterACommChange) {
    auto f = RunningWindow(0);
    f->Choose("cmbComm_1020", 1);
    ASSERT_FALSE(f->dlg->m_bConnected);
    f->prompts->Clear();
    QPushButton* start = f->Find<QPushButton>("btnStart_1004");
    start->click();
    EXPECT_FALSE(f->dlg->m_bRunning.load());
    EXPECT_EQ(start->text(), QStringLiteral("Start"));
    EXPECT_TRUE(f->prompts->Messages().isEmpty());
}

TEST(Closing, ASignalEndsTheSessionAndOnlyUnsavedReadingsAreOfferedLater) {
    qtm::test::TempDir dir;
    for (const bool saved : {true, false}) {
        SCOPED_TRACE(saved);
        auto f = RunningWindow(3);
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
        ASSERT_TRUE(QTest::qWaitFor([&] { return caught == SIGTERM; }, 3000));

        DialogFixture next;  // the next start
        next.prompts->ScriptSaveChoice(Choice::Cancel);
        next.dlg->OfferJournalRecovery();
        ASSERT_EQ(Questions(*next.prompts), saved ? 0 : 1);
        if (!saved) {
            EXPECT_TRUE(next.prompts->Entries()[0].text.contains(QStringLiteral("3 readings")));
        }
    }
}
