#include "service/RecordImport.h"

#include <algorithm>

#include "service/LivePass.h"

namespace qtm {
namespace {

// "page 3", "pages 3 and 7", "pages 1, 2, 3, 4, 5 and 12 more".
std::string PagesText(std::vector<int> pages) {
    constexpr std::size_t kNamed = 5;
    std::sort(pages.begin(), pages.end());
    std::string text = pages.size() == 1 ? "page " : "pages ";
    const std::size_t named = std::min(pages.size(), kNamed);
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0) text += i + 1 == named && pages.size() <= kNamed ? " and " : ", ";
        text += std::to_string(pages[i]);
    }
    if (pages.size() > kNamed) text += " and " + std::to_string(pages.size() - kNamed) + " more";
    return text;
}

}  // namespace

Bytes BuildPageRequest(int page) {
    Bytes request = BuildVkRead(kStoredRecordsCode);
    // The read request's one value byte is the page number, cut to 8 bits; how a meter
    // finds pages past 255 is up to the meter.
    request.back() = static_cast<std::uint8_t>(page & 0xFF);
    return request;
}

PageReadings DecodePage(const Bytes& reply) {
    PageReadings readings{};
    for (int r = 0; r < kRecordsPerPage; ++r)
        readings[static_cast<std::size_t>(r)] =
            VkFloat(reply, kVkDataOffset + static_cast<std::size_t>(r) * 4);
    return readings;
}

int PagesOfStoredCount(int storedRecords) {
    if (storedRecords <= 0) return 0;
    return std::min(storedRecords / kRecordsPerPage, kMaxImportPages);
}

std::optional<int> ReadStoredCount(MeterLink& link) {
    const auto pages = ReadStoragePages(link);
    if (!pages) return std::nullopt;
    return kRecordsPerPage * static_cast<int>(*pages);
}

PageResult ReadPage(MeterLink& link, int page) {
    PageResult result;
    result.page = page;
    Bytes reply;
    bool whole = false;
    if (link.ExchangeFrame(BuildPageRequest(page), kPageReplyBytes, kPageAttempts, kPagePauseMs,
                           reply, 1, &whole) != 1) {
        return result;
    }
    result.status = JudgePageReply(reply, whole);
    if (result.status == PageStatus::Read) result.readings = DecodePage(reply);
    return result;
}

PageStatus JudgePageReply(const Bytes& reply, bool whole) {
    const bool meters = reply.size() >= kPageReplyBytes && reply[0] == 'V' && reply[1] == 'K';
    return whole && meters ? PageStatus::Read : PageStatus::NoAnswer;
}

ImportOutcome ImportPages(MeterLink& link, int pages, const PageSink& onPage) {
    return ImportPages(
        pages, [&link](int page) { return ReadPage(link, page); }, onPage);
}

ImportOutcome ImportPages(int pages, const PageReader& read, const PageSink& onPage) {
    ImportOutcome outcome;
    outcome.pagesTotal = std::max(pages, 0);
    int silentInARow = 0;
    for (int page = 0; page < outcome.pagesTotal; ++page) {
        PageResult result = read(page);
        result.page = page;
        ++outcome.pagesDone;
        if (result.status == PageStatus::Read) {
            ++outcome.pagesRead;
            silentInARow = 0;
        } else {
            ++silentInARow;
            (result.status == PageStatus::NotSent ? outcome.notSentPages : outcome.noAnswerPages)
                .push_back(page);
        }
        const bool goOn = !onPage || onPage(result);
        const bool more = page + 1 < outcome.pagesTotal;
        if (!goOn && more) {
            outcome.cancelled = true;
            break;
        }
        if (silentInARow >= kPagesWithoutAnswerLimit && more) {
            outcome.gaveUp = true;
            break;
        }
    }
    return outcome;
}

int AppendPageRecords(ReadingBuffer& buffer, const PageResult& page) {
    if (page.status != PageStatus::Read) return 0;
    int added = 0;
    for (const float reading : page.readings) {
        if (!buffer.Append(reading, 0.0, 0.0f)) break;
        ++added;
    }
    return added;
}

std::string DescribeImportShortfall(const ImportOutcome& outcome) {
    if (outcome.Complete()) return {};
    const std::string missing = std::to_string(outcome.MissingReadings()) + " of " +
                                std::to_string(outcome.pagesTotal * kRecordsPerPage) +
                                " readings are missing";
    if (outcome.gaveUp) {
        const int last = outcome.pagesDone - 1;
        return "the meter gave no answer to pages " +
               std::to_string(last - kPagesWithoutAnswerLimit + 1) + " to " + std::to_string(last) +
               " in a row, so the import stopped there: " + missing;
    }
    if (outcome.cancelled)
        return "the import was stopped after " + std::to_string(outcome.pagesDone) + " of " +
               std::to_string(outcome.pagesTotal) + " pages: " + missing;
    std::vector<int> lost = outcome.notSentPages;
    lost.insert(lost.end(), outcome.noAnswerPages.begin(), outcome.noAnswerPages.end());
    return PagesText(std::move(lost)) + " gave no whole answer: " + missing;
}

}  // namespace qtm
