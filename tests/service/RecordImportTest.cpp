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

TEST(JudgePageReplyTest, OnlyAWholeReplyThatStartsWithVkIsRead) {
    Bytes good(kPageReplyBytes, 0x3F);
    good[0] = 'V';
    good[1] = 'K';
    Bytes garbled = good;
    for (auto& b : garbled)
        b ^= 0xA5;
    Bytes otherMagic = good;
    otherMagic[1] = 'J';
    const struct {
        const char* what;
        Bytes reply;
        bool whole;
        PageStatus status;
    } cases[] = {
        {"whole", good, true, PageStatus::Read},
        {"cut", good, false, PageStatus::NoAnswer},
        {"garbled", garbled, true, PageStatus::NoAnswer},
        {"other magic", otherMagic, true, PageStatus::NoAnswer},
        {"too few bytes", Bytes{'V', 'K'}, true, PageStatus::NoAnswer},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JudgePageReply(c.reply, c.whole), c.status) << c.what;
}

TEST(ImportPagesTest, OutcomeCountsWhatIsMissingAndGivesUpAfterThreeSilentPages) {
    constexpr PageStatus R = PageStatus::Read;
    constexpr PageStatus N = PageStatus::NoAnswer;
    constexpr PageStatus X = PageStatus::NotSent;
    const struct {
        std::vector<PageStatus> pages;
        int stopAfter;  // the page after which the sink asks to stop (-1: never)
        int done;
        bool gaveUp;
        std::string sentence;
    } cases[] = {
        {{R, R}, -1, 2, false, ""},
        {{R, N, R}, -1, 3, false, "page 1 gave no whole answer: 15 of 45 readings are missing"},
        {{R, N, X, R, N, N},
         -1,
         6,
         false,
         "pages 1, 2, 4 and 5 gave no whole answer: 60 of 90 readings are missing"},
        {{N, R, N, R, N, R, N, R, N, R, N, R, N, R},
         -1,
         14,
         false,
         "pages 0, 2, 4, 6, 8 and 2 more gave no whole answer: 105 of 210 readings are missing"},
        {{R, N, X, R, N, X, N, R, R},
         -1,
         7,
         true,
         "the meter gave no answer to pages 4 to 6 in a row, so the import stopped there: 105 of "
         "135 readings are missing"},
        {{R, R, R, R},
         1,
         2,
         false,
         "the import was stopped after 2 of 4 pages: 30 of 60 readings are missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentence);
        int reads = 0;
        ReadingBuffer buffer;
        const ImportOutcome outcome = ImportPages(
            static_cast<int>(c.pages.size()),
            [&](int page) {
                ++reads;
                PageResult result{.status = c.pages[static_cast<std::size_t>(page)]};
                result.readings.fill(1.5f);
                return result;
            },
            [&](const PageResult& page) {
                AppendPageRecords(buffer, page);
                return page.page != c.stopAfter;
            });
        EXPECT_EQ(reads, c.done);
        EXPECT_EQ(outcome.pagesDone, c.done);
        EXPECT_EQ(outcome.gaveUp, c.gaveUp);
        EXPECT_EQ(outcome.Complete(), c.sentence.empty());
        EXPECT_EQ(DescribeImportShortfall(outcome), c.sentence);
        // Only the pages that were read give records.
        EXPECT_EQ(buffer.Count(), static_cast<std::size_t>(outcome.pagesRead * kRecordsPerPage));
        EXPECT_EQ(outcome.MissingReadings(),
                  static_cast<int>(c.pages.size() * kRecordsPerPage - buffer.Count()));
    }
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
