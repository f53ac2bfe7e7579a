#include "service/RecordImport.h"

#include <gtest/gtest.h>

#include "device/SimFixture.h"
#include "sim/MeterModel.h"

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

// Pages answered by the simulator's meter model itself, without the line's pacing.
PageReader ModelReader(qtmsim::MeterModel& model, std::vector<int>& lowBytes) {
    return [&model, &lowBytes](int page) {
        const Bytes request = BuildPageRequest(page);
        lowBytes.push_back(request.back());
        const qtmsim::Exchange exchange = model.Handle(request, 0.0);
        PageResult result;
        result.status =
            exchange.reply.size() == kPageReplyBytes ? PageStatus::Read : PageStatus::Short;
        result.readings = DecodePage(exchange.reply);
        return result;
    };
}

TEST(ImportPagesTest, FullMemoryGivesFiveHundredPagesWithWrappingPageBytes) {
    qtmsim::MeterModel model({.records = 7500});
    std::vector<int> lowBytes;
    ReadingBuffer buffer;
    const ImportOutcome outcome =
        ImportPages(PagesOfStoredCount(7500), ModelReader(model, lowBytes),
                    [&](const PageResult& page) { return AppendPageRecords(buffer, page) >= 0; });
    EXPECT_TRUE(outcome.Complete());
    EXPECT_EQ(outcome.pagesDone, 500);
    ASSERT_EQ(lowBytes.size(), 500u);
    EXPECT_EQ(lowBytes[255], 255);
    EXPECT_EQ(lowBytes[256], 0);
    EXPECT_EQ(lowBytes[499], 499 - 256);
    ASSERT_EQ(buffer.Count(), 7500u);
    const auto& stored = model.State().records;
    for (std::size_t i = 0; i < buffer.Count(); ++i) {
        ASSERT_EQ(buffer[i].number, static_cast<int>(i) + 1);
        ASSERT_FLOAT_EQ(buffer[i].power, stored[i]) << i;
        ASSERT_EQ(buffer[i].energy, 0.0);
        ASSERT_EQ(buffer[i].seconds, 0.0f);
    }
}

TEST(ImportPagesTest, UnsentPageIsSkippedAndTheNextRecordsFollowOn) {
    ReadingBuffer buffer;
    const ImportOutcome outcome = ImportPages(
        3,
        [](int page) {
            PageResult result;
            if (page == 1) return result;  // not sent
            result.status = page == 2 ? PageStatus::Short : PageStatus::Read;
            result.readings.fill(static_cast<float>(page + 1));
            return result;
        },
        [&](const PageResult& page) { return AppendPageRecords(buffer, page) >= 0; });
    EXPECT_EQ(outcome.notSentPages, std::vector<int>{1});
    EXPECT_EQ(outcome.shortPages, std::vector<int>{2});
    EXPECT_FALSE(outcome.Complete());
    ASSERT_EQ(buffer.Count(), 30u);
    EXPECT_FLOAT_EQ(buffer[14].power, 1.0f);
    EXPECT_EQ(buffer[15].number, 16);
    EXPECT_FLOAT_EQ(buffer[15].power, 3.0f);
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

TEST_F(StoredRecordsTest, ThirtyStoredRecordsComeInTwoRequests) {
    StartMeter({.records = 30});
    const auto stored = ReadStoredCount(link);
    ASSERT_EQ(stored, 30);
    meter->ClearLog();
    ReadingBuffer buffer;
    const ImportOutcome outcome =
        ImportPages(link, PagesOfStoredCount(*stored), [&](const PageResult& page) {
            AppendPageRecords(buffer, page);
            return true;
        });
    EXPECT_TRUE(outcome.Complete());
    EXPECT_EQ(Requests(), (std::vector<Bytes>{BuildPageRequest(0), BuildPageRequest(1)}));
    std::vector<float> stored30;
    meter->WithModel([&](qtmsim::MeterModel& m) { stored30 = m.State().records; });
    ASSERT_EQ(buffer.Count(), 30u);
    for (std::size_t i = 0; i < 30; ++i)
        EXPECT_FLOAT_EQ(buffer[i].power, stored30[i]) << i;
}

TEST_F(StoredRecordsTest, EmptyMemorySendsNoPageRequest) {
    StartMeter({.records = 0});
    ASSERT_EQ(ReadStoredCount(link), 0);
    const ImportOutcome outcome = ImportPages(link, 0, nullptr);
    EXPECT_EQ(outcome.pagesDone, 0);
    EXPECT_EQ(RequestCodes(), std::vector<std::uint8_t>{0x1F});
}

TEST_F(StoredRecordsTest, PageWithNoPortIsNotSent) {
    link.SetPortName("/dev/qtm-test-no-such-port");
    const PageResult page = ReadPage(link, 0);
    EXPECT_EQ(page.status, PageStatus::NotSent);
    EXPECT_EQ(ReadStoredCount(link), std::nullopt);
}

}  // namespace
}  // namespace qtm
