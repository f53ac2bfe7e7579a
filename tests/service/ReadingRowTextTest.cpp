#include "service/ReadingRowText.h"

#include "service/NumberText.h"

#include <gtest/gtest.h>

#include <array>

namespace qtm {
namespace {

TEST(ReadingRowTextTest, LiveAndImportedRowsShowTheirColumns) {
    struct Case {
        MeasurementRecord record;
        RowOrigin origin;
        std::array<const char*, 4> texts;
    };
    const Case cases[] = {
        // Large energies keep one decimal instead of going through single precision.
        {{7, 25.0f, 123456.78, 1234.5f}, RowOrigin::Live, {"7", "25", "123456.8", "1234.5"}},
        {{1, 3.25f, 5.5, 0.0f}, RowOrigin::Live, {"1", "3.2500", "5.5000", "0.0"}},
        {{2, -3.2f, 100000.0, 0.1f}, RowOrigin::Live, {"2", "-3.2000", "100000", "0.1"}},
        {{3, 9999.5f, 100000.04, 12.0f}, RowOrigin::Live, {"3", "9999.5", "100000.0", "12.0"}},
        // An import has no energy and no time, and says so with plain zeros.
        {{12, 12.5f, 0.0, 0.0f}, RowOrigin::Imported, {"12", "12.500", "0", "0"}},
    };
    for (const Case& c : cases) {
        for (int column = 0; column < kListColumns; ++column) {
            EXPECT_EQ(ReadingCellText(c.record, c.origin, column), c.texts[column])
                << "record " << c.record.number << " column " << column;
        }
        EXPECT_EQ(ReadingCellText(c.record, c.origin, kListColumns), "");
    }
}

TEST(ReadingRowTextTest, FixedFormatRoundsHalfTenthsOfTheStoredValue) {
    // 12345 tenths arrive as 1234.5f, exact in binary.
    EXPECT_EQ(FormatFixed(12345 / 10.0f, 1), "1234.5");
    EXPECT_EQ(FormatFixed(-0.25, 1), "-0.2");
    EXPECT_EQ(FormatFixed(1e9, 1), "1000000000.0");
}

}  // namespace
}  // namespace qtm
