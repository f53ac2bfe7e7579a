#include "service/ReadingObject.h"

#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <limits>

#include "GermanLocale.h"

namespace qtm {
namespace {

using namespace std::chrono;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

system_clock::time_point UtcMillis(sys_days day, std::int64_t millisInDay) {
    return system_clock::time_point(day) + milliseconds(millisInDay);
}

ReadingObject UsbReading() {
    ReadingObject r;
    r.n = 42;
    r.time = UtcMillis(2026y / 12 / 9, ((10 * 60 + 15) * 60 + 2) * 1000 + 123);
    r.power = 1234.5f;
    // The units inside the parentheses of the reading list's headers.
    const ReadingUnits units = ListUnitsOfModel("qtx-200p");
    r.unit = units.power;
    r.energy = 0.1;
    r.energyUnit = units.energy;
    r.seconds = 12.3f;
    r.temperature = 25.25f;
    r.voltage = 3.7f;
    r.ad = 1023;
    r.serial = "QTX2412345";
    return r;
}

TEST(ReadingObjectTest, UsbLiveReadingAsCsvAndJsonWhateverTheLocale) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);
    const ReadingObject r = UsbReading();
    EXPECT_EQ(ReadingCsvHeader(ReadingColumns::UsbLive()),
              "n,time,power,unit,energy,energy_unit,seconds,temperature,voltage,ad,serial\r\n");
    std::string csv = "kept,";
    AppendReadingCsv(csv, ReadingColumns::UsbLive(), r);
    EXPECT_EQ(csv,
              "kept,42,2026-12-09T10:15:02.123Z,1234.5,umol/cm\u00b2/s,0.1,mj/cm\u00b2,12.3,25.25,"
              "3.7,1023,QTX2412345\r\n");
    std::string json;
    AppendReadingJson(json, ReadingColumns::UsbLive(), r);
    EXPECT_EQ(json,
              "{\"n\":42,\"time\":\"2026-12-09T10:15:02.123Z\",\"power\":1234.5,\"unit\":\"umol/"
              "cm\u00b2/s\",\"energy\":0.1,\"energy_unit\":\"mj/cm\u00b2\",\"seconds\":12.3,"
              "\"temperature\":25.25,\"voltage\":3.7,\"ad\":1023,\"serial\":\"QTX2412345\"}\n");
}

TEST(ReadingObjectTest, OtherColumnSetsTakeOnlyTheirFields) {
    ReadingObject r = UsbReading();
    r.time.reset();
    r.power = kNaN;
    r.address = 7;
    r.serial = "a\"b\x01";
    r.zero = -0.5f;
    r.calK = std::numeric_limits<float>::infinity();
    EXPECT_EQ(ReadingCsvHeader(ReadingColumns::BusLive()),
              "n,time,power,unit,temperature,voltage,ad,address,serial,zero,cal,calk,k\r\n");
    EXPECT_EQ(ReadingCsvHeader(ReadingColumns::Import()), "n,power,unit,serial\r\n");
    std::string csv;
    AppendReadingCsv(csv, ReadingColumns::BusLive(), r);
    EXPECT_EQ(csv, "42,,nan,umol/cm\u00b2/s,25.25,3.7,1023,7,\"a\"\"b\x01\",-0.5,0,inf,0\r\n");
    std::string json;
    AppendReadingJson(json, ReadingColumns::BusLive(), r);
    EXPECT_EQ(json,
              "{\"n\":42,\"power\":null,\"unit\":\"umol/cm\u00b2/s\",\"temperature\":25.25,"
              "\"voltage\":3.7,\"ad\":1023,\"address\":7,\"serial\":\"a\\\"b\\u0001\","
              "\"zero\":-0.5,\"cal\":0,\"calk\":null,\"k\":0}\n");
}

TEST(ReadingObjectTest, NumbersAreShortestAndTimesUtcOnEitherSideOf1970) {
    const system_clock::time_point epoch{};
    const struct {
        system_clock::time_point time;
        float power;
        double energy;
        const char* expected;
    } cases[] = {
        {epoch, 0.1f, 0.1, "1970-01-01T00:00:00.000Z,0.1,0.1"},  // not 0.100000001
        {epoch - microseconds(1), 16777216.0f, 1e21, "1969-12-31T23:59:59.999Z,16777216,1e+21"},
        {UtcMillis(2024y / 2 / 29, 86'399'999), 1e-7f, 2.5e-300,
         "2024-02-29T23:59:59.999Z,1e-07,2.5e-300"},
        {UtcMillis(2199y / 12 / 31, 0) + microseconds(999), 3.4028235e38f, 5e-324,
         "2199-12-31T00:00:00.000Z,3.4028235e+38,5e-324"},
    };
    const auto columns = ReadingColumns()
                             .With(ReadingField::Time)
                             .With(ReadingField::Power)
                             .With(ReadingField::Energy);
    for (const auto& c : cases) {
        ReadingObject r;
        r.time = c.time;
        r.power = c.power;
        r.energy = c.energy;
        std::string csv;
        AppendReadingCsv(csv, columns, r);
        EXPECT_EQ(csv, std::string(c.expected) + "\r\n");
    }
}

TEST(ReadingObjectTest, RowsWrittenReadBackCellForCell) {
    const char* serials[] = {"plain", "with,comma", "say \"hi\"", "two\r\nlines", "", "\"", "lf\n"};
    const auto columns = ReadingColumns::UsbLive();
    std::string text =
        "\xEF\xBB\xBF# model: QTX-200P\r\n# note: a: b\r\n" + ReadingCsvHeader(columns);
    std::vector<ReadingObject> written;
    for (const char* serial : serials) {
        ReadingObject r = UsbReading();
        r.n = static_cast<std::int64_t>(written.size()) + 1;
        r.serial = serial;
        if (r.n % 2 == 0) r.time.reset();
        if (r.n == 3) r.power = kNaN;
        AppendReadingCsv(text, columns, r);
        written.push_back(r);
    }
    const ReadingTable table = ParseReadingCsv(text);
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(table.metadata, (std::vector<Pair>{{"model", "QTX-200P"}, {"note", "a: b"}}));
    ASSERT_EQ(table.header.size(), columns.Count());
    EXPECT_TRUE(table.badRows.empty());
    EXPECT_FALSE(table.unendedLastRow || table.openQuote);
    ASSERT_EQ(table.rows.size(), written.size());
    const std::size_t serialColumn = *table.Column("serial");
    const std::size_t powerColumn = *table.Column("power");
    for (std::size_t i = 0; i < written.size(); ++i) {
        const auto& row = table.rows[i];
        EXPECT_EQ(row[serialColumn], written[i].serial);
        EXPECT_EQ(row[*table.Column("time")].empty(), !written[i].time);
        float power = 0;
        const std::string& cell = row[powerColumn];
        ASSERT_EQ(std::from_chars(cell.data(), cell.data() + cell.size(), power).ec, std::errc{});
        EXPECT_EQ(std::bit_cast<std::uint32_t>(power),
                  std::bit_cast<std::uint32_t>(written[i].power));
    }
}

TEST(ReadingObjectTest, ReaderReportsRowsThatDoNotFitInsteadOfGuessing) {
    const struct {
        std::string text;
        std::size_t rows;
        std::vector<std::size_t> badLines;
        bool unended;
        bool openQuote;
    } cases[] = {
        {"n,power\n1,2\n3\n4,5,6\n7,8\n", 2, {3, 4}, false, false},
        {"# only: metadata\r\n\r\nn,power\r\n1,\"2\r\n\"\r\n", 1, {}, false, false},
        {"n,power\r\n1,2\r\n3,4", 2, {}, true, false},
        {"n,power\r\n1,2\r\n3,\"4\r\n", 1, {}, false, true},
        {"n,power\r\n\"1\r\n2\",x\r\n\r\n5,6\r\n", 2, {4}, false, false},
    };
    for (const auto& c : cases) {
        const ReadingTable table = ParseReadingCsv(c.text);
        EXPECT_EQ(table.header, (std::vector<std::string>{"n", "power"})) << c.text;
        EXPECT_EQ(table.rows.size(), c.rows) << c.text;
        std::vector<std::size_t> badLines;
        for (const auto& bad : table.badRows)
            badLines.push_back(bad.line);
        EXPECT_EQ(badLines, c.badLines) << c.text;
        EXPECT_EQ(table.unendedLastRow, c.unended) << c.text;
        EXPECT_EQ(table.openQuote, c.openQuote) << c.text;
    }
}

}  // namespace
}  // namespace qtm
