// Downloading the meter's stored readings: the page request, the page decoder and the
// page-by-page import that the window and the CLI share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "device/MeterLink.h"
#include "service/ReadingBuffer.h"

namespace qtm {

inline constexpr std::uint8_t kStoredRecordsCode = 0x20;
inline constexpr int kRecordsPerPage = 15;
inline constexpr int kMaxImportPages = 500;  // 7500 records
inline constexpr std::size_t kPageReplyBytes = 127;
inline constexpr int kPageAttempts = 10;
inline constexpr int kPagePauseMs = 100;

using PageReadings = std::array<float, kRecordsPerPage>;

// "VK" 42 20 01 00 p: the request carries only the low 8 bits of the 0-based page number.
Bytes BuildPageRequest(int page);

// The 15 little-endian floats at reply bytes 6 to 65; bytes that are missing read as 0.
PageReadings DecodePage(const Bytes& reply);

// Pages to download for a stored count (15 records a page), at most 500.
int PagesOfStoredCount(int storedRecords);

// The stored count the meter reports (15 times its page count), or nothing when the
// request could not be sent or the count did not arrive whole.
std::optional<int> ReadStoredCount(MeterLink& link);

enum class PageStatus {
    Read,     // the whole reply came in
    Short,    // the request went out but part of the reply is missing (read as zeros)
    NotSent,  // the port did not open or the request was not written whole
};

struct PageResult {
    int page = 0;
    PageStatus status = PageStatus::NotSent;
    PageReadings readings{};  // all zero when the page was not sent
};

// One page: the request, 127 bytes awaited in 10 attempts of 100 ms.
PageResult ReadPage(MeterLink& link, int page);

struct ImportOutcome {
    int pagesTotal = 0;
    int pagesDone = 0;              // pages tried, in order from page 0
    std::vector<int> notSentPages;  // skipped: no records were taken from them
    std::vector<int> shortPages;    // taken with zeros where the reply was cut
    bool cancelled = false;         // stopped before the last page

    bool Complete() const { return !cancelled && notSentPages.empty() && shortPages.empty(); }
};

// Called after each page; returns false to stop before the next one.
using PageSink = std::function<bool(const PageResult&)>;
// Reads one page (ReadPage on a link; tests put a meter model here).
using PageReader = std::function<PageResult(int page)>;

// Reads pages 0 to pages - 1 in order, handing each to onPage.
ImportOutcome ImportPages(int pages, const PageReader& read, const PageSink& onPage);
// The same over a link. Each page is one exchange, so another thread's exchange may run
// between two pages but never inside one.
ImportOutcome ImportPages(MeterLink& link, int pages, const PageSink& onPage);

// Appends the records a page gives, each with energy 0 and time 0: none when the page
// was not sent, otherwise its 15 readings (as many as fit). Returns how many.
int AppendPageRecords(ReadingBuffer& buffer, const PageResult& page);

}  // namespace qtm
