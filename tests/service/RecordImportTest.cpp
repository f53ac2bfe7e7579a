#include "service/RecordImport.h"

#include <gtest/gtest.h>

#include "device/SimFixture.h"

namespace qtm {
namespace {

TEST(PageRequestTest, CarriesTheLowEightBitsOfThePageNumber) {
    const struct {
        int page;
        std::uint8_t byte;
    } cases[] = {{0, 0x00}, {1, 0x01}, {255, 0xFF}, {256, 0x00}, {257, 0x01}, {499, 0xF3}};
    for (const auto& c : cases)
        EXPECT_EQ(BuildPageRequest(c.page), (Bytes{'V', 'K', 0x42, 0x20, 0x01, 0x00, c.byte}))
            << c.page;
}

TEST(DecodePageTest, FifteenLittleEndianFloatsFromByteSixAndZerosWhereTheReplyIsCut) {
    Bytes reply(kPageReplyBytes, 0xEE);
    for (int r = 0; r < kRecordsPerPage; ++r) {
        const Bytes value = LeFloat(0.5f + static_cast<float>(r));
        std::copy(value.begin(), value.end(), reply.begin() + 6 + 4 * r);
    }
    const PageReadings whole = DecodePage(reply);
    for (int r = 0; r < kRecordsPerPage; ++r)
        EXPECT_FLOAT_EQ(whole[r], 0.5f + static_cast<float>(r)) << r;

    // A reply that ends after reading 1: the rest read as zero.
    const PageReadings part = DecodePage(Bytes(reply.begin(), reply.begin() + 6 + 4 * 2));
    EXPECT_FLOAT_EQ(part[1], 1.5f);
    for (int r = 2; r < kRecordsPerPage; ++r)
        EXPECT_EQ(part[r], 0.0f) << r;
}

TEST(PagesOfStoredCountTest, FifteenRecordsAPageAtMostFiveHundred) {
    const std::pair<int, int> cases[] = {{0, 0},      {14, 0},     {15, 1}, {30, 2},
                                         {7500, 500}, {7515, 500}, {-15, 0}};
    for (const auto& [stored, pages] : cases)
        EXPECT_EQ(PagesOfStoredCount(stored), pages) << stored;
}

TEST(ImportPagesTest, CancelStopsAfterTheCurrentPage) {
    int read = 0;
    const ImportOutcome outcome = ImportPages(
        10,
        [&](int) {
            ++read;
            return PageResult{.status = PageStatus::Read};
        },
        [](const PageResult& page) { return page.page < 3; });
    EXPECT_EQ(read, 4);
    EXPECT_EQ(outcome.pagesDone, 4);
    EXPECT_TRUE(outcome.cancelled);
    // A stop asked for after the last page cancels nothing.
    EXPECT_FALSE(ImportPages(
                     1, [](int) { return PageResult{.status = PageStatus::Read}; },
                     [](const PageResult&) { return false; })
                     .cancelled);
}

TEST(AppendPageRecordsTest, StopsAtTheBuffersCapacity) {
    ReadingBuffer buffer(20);
    PageResult page{.status = PageStatus::Read};
    EXPECT_EQ(AppendPageRecords(buffer, page), 15);
    EXPECT_EQ(AppendPageRecords(buffer, page), 5);
    EXPECT_TRUE(buffer.Full());
}

using StoredRecordsTest = test::SimFixture;

TEST_F(StoredRecordsTest, PageWithNoPortIsNotSent) {
    link.SetPortName("/dev/qtm-test-no-such-port");
    const PageResult page = ReadPage(link, 0);
    EXPECT_EQ(page.status, PageStatus::NotSent);
    EXPECT_EQ(ReadStoredCount(link), std::nullopt);
}

}  // namespace
}  // namespace qtm
