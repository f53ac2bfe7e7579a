#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>

#include "device/SimFixture.h"
#include "device/TempDir.h"
#include "service/BackupOps.h"
#include "service/BackupStore.h"
#include "service/ParameterBackup.h"
#include "service/TextWrites.h"
#include "service/WriteLog.h"

namespace qtm {
namespace {

MeterParameters Sample() {
    MeterParameters p;
    p.link = "usb";
    p.port = "/dev/ttyUSB0";
    p.taken = "2026-12-08T11:30:00Z";
    p.model = "QTX-200P";
    p.serialNumber = "24050017";
    p.band = "a\\b\nc=d\x7F";
    p.range = "0-2000";
    p.calValue = 0.1f;
    p.saveGap = -7;
    p.k = 1.0f / 3.0f;
    p.zero = 8000.5f;
    return p;
}

void ExpectSame(const MeterParameters& a, const MeterParameters& b) {
    EXPECT_EQ(a.link, b.link);
    EXPECT_EQ(a.port, b.port);
    EXPECT_EQ(a.taken, b.taken);
    EXPECT_EQ(a.model, b.model);
    EXPECT_EQ(a.serialNumber, b.serialNumber);
    EXPECT_EQ(a.band, b.band);
    EXPECT_EQ(a.range, b.range);
    EXPECT_EQ(a.calValue, b.calValue);  // exactly: a restore writes the very bytes back
    EXPECT_EQ(a.saveGap, b.saveGap);
    EXPECT_EQ(a.k, b.k);
    EXPECT_EQ(a.calK, b.calK);
    EXPECT_EQ(a.zero, b.zero);
}

TEST(BackupFormatTest, TextReadsBackExactlyAndStaysOneValuePerLine) {
    const std::string text = FormatBackup(Sample());
    EXPECT_NE(text.find("band=a\\\\b\\x0Ac=d\\x7F\n"), std::string::npos);
    EXPECT_NE(text.find("cal=0.1\n"), std::string::npos);
    EXPECT_EQ(text.find("calk="), std::string::npos);  // not read, not written
    const BackupParse parsed = ParseBackup(text);
    ASSERT_TRUE(parsed.parameters) << parsed.error;
    ExpectSame(*parsed.parameters, Sample());
}

TEST(BackupFormatTest, DamagedTextsAreRefusedWithTheLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"", "no format line"},
        {"model=X\n", "no format line"},
        {"format=3\n", "line 1"},
        {"format=1\nk=1.5x\n", "line 2"},
        {"format=1\ncal=1e39\n", "line 2"},
        {"format=1\nsavetime=99999999999\n", "line 2"},
        {"format=1\n\njunk\n", "line 3"},
        {"format=1\nsn=\\q\n", "line 2"},
        {"format=1\nsn=\\x4\n", "line 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const BackupParse parsed = ParseBackup(c.text);
        EXPECT_FALSE(parsed.parameters);
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    }
    // CR LF line ends are fine.
    std::string crlf = FormatBackup(Sample());
    for (std::size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2))
        crlf.insert(at, "\r");
    const BackupParse ok = ParseBackup(crlf);
    ASSERT_TRUE(ok.parameters) << ok.error;
    EXPECT_EQ(ok.parameters->k, Sample().k);
    // Any bytes at all: an answer, never a crash.
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::string text = "format=1\n";
        for (int i = random() % 200; i > 0; --i)
            text += static_cast<char>(round % 2 ? random() : "=\\xk\ncal0.9e"[random() % 12]);
        const BackupParse any = ParseBackup(text);
        EXPECT_TRUE(any.parameters.has_value() != !any.error.empty());
    }
}

// A backup is taken whole or not at all: a file that lost or gained a line is not restored.
TEST(BackupFormatTest, IncompleteOrAlteredBackupsAreRefusedWhole) {
    const std::string good = FormatBackup(Sample());
    auto without = [&](const std::string& key) {
        std::string text = good;
        const std::size_t at = text.find("\n" + key + "=") + 1;
        return text.erase(at, text.find('\n', at) + 1 - at);
    };
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        return text.replace(text.find(from), from.size(), to);
    };
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {good + "k=2\n", "repeats the key \"k\""},
        {good + "new=1\n", "unknown key \"new\""},
        {without("savetime"), "no \"savetime\" line"},
        {without("model_bytes"), "no \"model_bytes\" line"},
        {good.substr(0, good.size() - 1), "cut short"},
        {good.substr(0, good.find("taken=")), "no \"taken\" line"},
        {replaced("range_bytes=302D", "range_bytes=312D"), "range does not match"},
        {replaced("range_bytes=302D", "range_bytes=302"), "hex"},
        {replaced("link=usb", "link=serial"), "neither usb nor rs485"},
        {"format=1\ntaken=t\nlink=usb\nport=p\nmodel=\xC3\x84\nsn=1\nband=b\nrange=r\n"
         "cal=1\nsavetime=1\nk=1\n",
         "\"\xC3\x84\", which the meter's code page (GBK) cannot express"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.error);
        const BackupParse parsed = ParseBackup(c.text);
        EXPECT_FALSE(parsed.parameters);
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    }
    // A backup from before the bytes were kept goes back through GBK.
    const BackupParse old = ParseBackup(
        "format=1\ntaken=t\nlink=usb\nport=p\nmodel=QTX 200P\nsn=24050017  \n"
        "band=\xE7\xA5\x84\nrange=r\ncal=1\nsavetime=1\nk=1\n");
    ASSERT_TRUE(old.parameters) << old.error;
    EXPECT_EQ(old.parameters->bandBytes, "\xB5\x6D");
    EXPECT_EQ(old.parameters->serialNumberBytes, "24050017");
    EXPECT_EQ(old.parameters->modelBytes, "QTX 200P");
}

TEST(BackupFormatTest, DiffListsOnlyWhatARestoreWouldChange) {
    MeterParameters now = Sample();
    MeterParameters then = Sample();
    then.k = 2.0f;
    then.calK = 5.0f;  // kept for the record, never restored
    now.band.reset();
    EXPECT_EQ(DescribeChanges(DiffParameters(now, then)),
              "band: (not read) -> \"a\\b\nc=d\x7F\"\nk: 0.33333334 -> 2\n");
    EXPECT_EQ(DescribeChanges(DiffParameters(then, then)),
              "The meter already holds every value of the backup.\n");
}

TEST(BackupStoreTest, FolderFollowsXdgDataHomeAndNamesCarryTheSerialNumber) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved ? saved : "";
    ::setenv("XDG_DATA_HOME", "/data/x", 1);
    EXPECT_EQ(BackupFolder(), std::filesystem::path("/data/x/QTM200Debug/backups"));
    ::setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_NE(BackupFolder().string().find(".local/share/QTM200Debug/backups"), std::string::npos);
    if (saved)
        ::setenv("XDG_DATA_HOME", keep.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");

    const auto when = std::chrono::system_clock::time_point(
        std::chrono::milliseconds(1796729400123));  // 2026-12-08 11:30:00.123 UTC
    MeterParameters p;
    p.serialNumber = "../24/05 ";
    EXPECT_EQ(BackupFileName(p, when), "sn.._24_05_20261208-113000-123.txt");
    p.serialNumber.reset();
    EXPECT_EQ(BackupFileName(p, when), "unknown_20261208-113000-123.txt");
    EXPECT_EQ(UtcStamp(when), "2026-12-08T11:30:00Z");
}

TEST(BackupStoreTest, SavedFilesAreNeverReplacedAndLoadBack) {
    test::TempDir dir;
    const auto folder = dir.Path() / "a" / "backups";
    const auto when = std::chrono::system_clock::now();
    const BackupSave first = SaveBackup(Sample(), folder, when);
    const BackupSave second = SaveBackup(Sample(), folder, when);
    ASSERT_FALSE(first.path.empty()) << first.error;
    ASSERT_FALSE(second.path.empty()) << second.error;
    EXPECT_NE(first.path, second.path);
    // Two files, and no temporary one left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2);
    const BackupLoad loaded = LoadBackup(first.path);
    ASSERT_TRUE(loaded.parameters) << loaded.error;
    ExpectSame(*loaded.parameters, Sample());
    EXPECT_FALSE(LoadBackup(folder / "missing.txt").parameters);
    // A file where the folder should be: a sentence, not a crash.
    std::ofstream(dir.Path() / "file") << "x";
    EXPECT_FALSE(SaveBackup(Sample(), dir.Path() / "file" / "b", when).error.empty());
}

using BackupMeterTest = test::SimFixture;

TEST_F(BackupMeterTest, BackupChangeAndRestoreRoundTripOverUsb) {
    test::TempDir dir;
    StartMeter({.serial = "24050017", .calValue = 2.75f, .k = 1.125f, .saveGap = 3});
    const BackupTaken taken = TakeBackup(link, {}, dir.Path());
    ASSERT_FALSE(taken.path.empty()) << taken.error;
    EXPECT_EQ(taken.path.filename().string().rfind("24050017_", 0), 0u);

    ASSERT_TRUE(WriteCalValue(link, {}, 9.5f));
    ASSERT_TRUE(WriteCoefficientK(link, {}, 4.0f));
    ASSERT_EQ(WriteIdentityTexts(link, {"OTHER", "1", "b", "r"}), 0);
    ASSERT_TRUE(WriteSaveGap(link, 60));

    const BackupLoad loaded = LoadBackup(taken.path);
    ASSERT_TRUE(loaded.parameters) << loaded.error;
    const ParameterRead now = ReadMeterParameters(link, {});
    ASSERT_TRUE(now.parameters);
    EXPECT_EQ(DiffParameters(*now.parameters, *loaded.parameters).size(), 7u);

    const auto steps = RestoreParameters(link, {}, *loaded.parameters, *now.parameters);
    EXPECT_TRUE(AllWritten(steps)) << DescribeRestore(steps);
    const ParameterRead after = ReadMeterParameters(link, {});
    ASSERT_TRUE(after.parameters);
    EXPECT_TRUE(DiffParameters(*after.parameters, *loaded.parameters).empty());
    meter->WithModel([](qtmsim::MeterModel& m) {
        EXPECT_EQ(m.State().model, "QTX-200P");
        EXPECT_EQ(m.State().serial, "24050017");
        EXPECT_EQ(m.State().calValue, 2.75f);
        EXPECT_EQ(m.State().saveGap, 3);
    });
}

// A model with a space and a band in GBK come back byte for byte; only what differs is
// written, each write a line of the service log, and a write the meter never answered too.
TEST_F(BackupMeterTest, RestoreWritesBackTheMeterBytesOfWhatDiffersOnly) {
    test::TempDir dir;
    StartMeter({.model = "QTX 200P", .band = "\xB5\x6D"});
    const BackupTaken taken = TakeBackup(link, {}, dir.Path());
    ASSERT_TRUE(taken.parameters) << taken.error;
    std::ifstream file(taken.path);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("\nmodel=QTX 200P\nmodel_bytes=5154582032303050\n"), std::string::npos);
    EXPECT_NE(text.find("\nband=\xE7\xA5\x84\nband_bytes=B56D\n"), std::string::npos);

    ASSERT_TRUE(WriteMeterText(link, TextParameter::Model, "QTX").ok);
    ASSERT_TRUE(WriteMeterText(link, TextParameter::Band, "D").ok);
    const MeterParameters& backup = *taken.parameters;
    const RestorePlan plan = PlanRestore(link, {}, backup);
    ASSERT_TRUE(plan.current) << plan.error;
    EXPECT_EQ(DescribeChanges(plan.changes),
              "model: \"QTX\" -> \"QTX 200P\"\nband: \"D\" -> \"\xE7\xA5\x84\"\n");
    meter->ClearLog();
    const auto logPath = dir.Path() / "service-log.jsonl";
    WriteLog log(MakeServiceLogTarget("cli", link.PortName(), false, 1, "24050017"), logPath);
    const auto steps = RestoreParameters(link, {}, backup, *plan.current, &log);
    EXPECT_EQ(DescribeRestore(steps), "model: written\nband: written\n");
    const std::vector<Bytes> requests = Requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const Bytes& r) { return r[2] == kVkWrite; }),
              2);
    meter->WithModel([](qtmsim::MeterModel& m) {
        EXPECT_EQ(m.State().model, "QTX 200P");
        EXPECT_EQ(m.State().band, "\xB5\x6D");
    });
    // Now nothing differs, and nothing is written.
    const RestorePlan again = PlanRestore(link, {}, backup);
    ASSERT_TRUE(again.current);
    EXPECT_TRUE(again.changes.empty());
    EXPECT_TRUE(RestoreParameters(link, {}, backup, *again.current, &log).empty());

    // A meter that takes no write: the line says so.
    ASSERT_TRUE(WriteMeterText(link, TextParameter::Range, "9").ok);
    const RestorePlan third = PlanRestore(link, {}, backup);
    ASSERT_TRUE(third.current);
    meter->SetReplyOverride([](const std::vector<std::uint8_t>& request) {
        return request[2] == kVkWrite ? std::optional<std::vector<std::uint8_t>>(Bytes{})
                                      : std::nullopt;
    });
    EXPECT_EQ(DescribeRestore(RestoreParameters(link, {}, backup, *third.current, &log)),
              "range: write failed (the meter did not answer)\n");
    const std::vector<ServiceLogLine> lines = ReadServiceLog(logPath);  // newest first
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].Field("parameter"), "range");
    EXPECT_EQ(lines[0].Field("old"), "9");
    EXPECT_EQ(lines[0].Field("new"), "0-2000");
    EXPECT_EQ(lines[0].Field("result"), "failed: the meter did not answer");
    EXPECT_EQ(lines[1].Field("parameter"), "band");
    EXPECT_EQ(lines[1].Field("old"), "D");
    EXPECT_EQ(lines[1].Field("new"), "\xE7\xA5\x84");
    EXPECT_EQ(lines[1].Field("result"), "ok");
    EXPECT_EQ(lines[2].Field("serial"), "24050017");
}

TEST_F(BackupMeterTest, SilentMeterGivesNoBackup) {
    test::TempDir dir;
    StartMeter({.fault = qtmsim::Fault::Silent});
    const BackupTaken taken = TakeBackup(link, {}, dir.Path());
    EXPECT_TRUE(taken.path.empty());
    EXPECT_NE(taken.error.find("did not answer"), std::string::npos);
    EXPECT_EQ(Requests().size(), 1u);  // nothing more is asked of a meter that said nothing
}

TEST_F(BackupMeterTest, OverTheBusOnlyCalAndKAreWrittenBack) {
    test::TempDir dir;
    StartMeter({.rs485 = true, .calValue = 2.75f, .k = 1.125f});
    ASSERT_EQ(link.OpenBusPort(meter->PortPath(), 115200), 0);
    const MeterTarget bus{CommMode::Rs485, 1};
    const BackupTaken taken = TakeBackup(link, bus, dir.Path());
    ASSERT_TRUE(taken.parameters) << taken.error;
    EXPECT_EQ(taken.parameters->serialNumber, "24050017");
    EXPECT_EQ(taken.parameters->calValue, 2.75f);
    ASSERT_TRUE(WriteCalValue(link, bus, 1.0f));
    // Only what differs is written: the same meter's model, serial number and K stay as
    // they are; a model of another meter could not be put back over the bus.
    MeterParameters backup = *taken.parameters;
    backup.SetText(TextParameter::Model, "OTHER");
    const ParameterRead now = ReadMeterParameters(link, bus);
    ASSERT_TRUE(now.parameters) << now.error;
    const auto steps = RestoreParameters(link, bus, backup, *now.parameters);
    EXPECT_EQ(DescribeRestore(steps), "model: cannot be written over RS-485\ncal: written\n");
    meter->WithModel([](qtmsim::MeterModel& m) { EXPECT_EQ(m.State().calValue, 2.75f); });
}

}  // namespace
}  // namespace qtm
