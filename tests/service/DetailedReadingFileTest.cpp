#include "service/DetailedReadingFile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/device/TempDir.h"

namespace qtm {
namespace {

using namespace std::chrono;

const system_clock::time_point kTaken =
    sys_days(2026y / 12 / 9) + hours(10) + minutes(15) + seconds(2) + milliseconds(123);

// Two live USB readings of a PPFD meter, a second apart.
DetailedReadings UsbRun() {
    DetailedReadings r;
    r.metadata.Add("program", "qtm200debug").Add("saved", "2026-12-09T10:20:00.000Z");
    r.metadata.Add("serial", "QTX2412345").Add("cal", "1000");
    r.serial = "QTX2412345";
    r.units = ListUnitsOfModel("QTX-210P");
    r.details = ReadingDetails(10);
    for (int i = 0; i < 2; ++i) {
        r.records.push_back({i + 1, 1234.5f + static_cast<float>(i), 0.5 * i, 12.3f});
        ReadingDetail d;
        d.source = ReadingSource::UsbLive;
        d.time = kTaken + seconds(i);
        d.temperature = 25.25f;
        d.voltage = 3.7f;
        d.ad = 1023;
        r.details.Append(d);
    }
    return r;
}

TEST(DetailedReadingFileTest, BytesAreTheReadingLogAndReadBack) {
    const std::string text = DetailedReadingText(UsbRun());
    const std::string start =
        "\xEF\xBB\xBF# program: qtm200debug\r\n# saved: 2026-12-09T10:20:00.000Z\r\n"
        "# serial: QTX2412345\r\n# cal: 1000\r\n"
        "n,time,power,unit,energy,energy_unit,seconds,temperature,voltage,ad,serial\r\n"
        "1,2026-12-09T10:15:02.123Z,1234.5,umol/cm\xC2\xB2/s,0,mj/cm\xC2\xB2,12.3,25.25,3.7,"
        "1023,QTX2412345\r\n";
    EXPECT_EQ(text.substr(0, start.size()), start);

    const ReadingTable table = ParseReadingCsv(text);
    ASSERT_EQ(table.metadata.size(), 4u);
    EXPECT_EQ(table.metadata[3], std::make_pair(std::string("cal"), std::string("1000")));
    ASSERT_EQ(table.rows.size(), 2u);
    EXPECT_TRUE(table.badRows.empty());
    EXPECT_EQ(table.rows[1][*table.Column("time")], "2026-12-09T10:15:03.123Z");
    EXPECT_EQ(table.rows[1][*table.Column("power")], "1235.5");
}

TEST(DetailedReadingFileTest, ColumnsFollowWhereTheReadingsCameFrom) {
    const struct {
        std::vector<ReadingSource> sources;
        const char* header;
    } cases[] = {
        {{ReadingSource::Imported}, "n,power,unit,serial\r\n"},
        {{ReadingSource::BusLive},
         "n,time,power,unit,temperature,voltage,ad,address,serial,zero,cal,calk,k\r\n"},
        // Both links in one buffer: only what both report.
        {{ReadingSource::UsbLive, ReadingSource::BusLive},
         "n,time,power,unit,temperature,voltage,ad,serial\r\n"},
    };
    for (const auto& c : cases) {
        ReadingDetails details(4);
        for (ReadingSource source : c.sources) {
            ReadingDetail d;
            d.source = source;
            details.Append(d);
        }
        EXPECT_EQ(ReadingCsvHeader(DetailedColumns(details)), c.header);
    }
}

TEST(DetailedReadingFileTest, AFileIsWrittenWholeOrNotAtAll) {
    test::TempDir dir;
    const DetailedReadings run = UsbRun();
    const auto path = dir.Path() / "run.csv";
    ASSERT_TRUE(WriteDetailedReadings(path, run).Ok());
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), DetailedReadingText(run));
    // Nothing but the file is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              1);

    const FileResult missing = WriteDetailedReadings(dir.Path() / "no" / "run.csv", run);
    EXPECT_EQ(missing.kind, FileErrorKind::NoSuchFolder);
}

}  // namespace
}  // namespace qtm
