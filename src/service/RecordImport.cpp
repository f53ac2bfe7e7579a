#include "service/RecordImport.h"

#include <algorithm>

#include "service/LivePass.h"

namespace qtm {

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
    result.status = whole ? PageStatus::Read : PageStatus::Short;
    result.readings = DecodePage(reply);
    return result;
}

ImportOutcome ImportPages(MeterLink& link, int pages, const PageSink& onPage) {
    return ImportPages(
        pages, [&link](int page) { return ReadPage(link, page); }, onPage);
}

ImportOutcome ImportPages(int pages, const PageReader& read, const PageSink& onPage) {
    ImportOutcome outcome;
    outcome.pagesTotal = std::max(pages, 0);
    for (int page = 0; page < outcome.pagesTotal; ++page) {
        PageResult result = read(page);
        result.page = page;
        ++outcome.pagesDone;
        if (result.status == PageStatus::NotSent) outcome.notSentPages.push_back(page);
        if (result.status == PageStatus::Short) outcome.shortPages.push_back(page);
        const bool goOn = !onPage || onPage(result);
        if (!goOn && page + 1 < outcome.pagesTotal) {
            outcome.cancelled = true;
            break;
        }
    }
    return outcome;
}

int AppendPageRecords(ReadingBuffer& buffer, const PageResult& page) {
    if (page.status == PageStatus::NotSent) return 0;
    int added = 0;
    for (const float reading : page.readings) {
        if (!buffer.Append(reading, 0.0, 0.0f)) break;
        ++added;
    }
    return added;
}

}  // namespace qtm
