// Downloading the meter's stored readings: the page request, the page decoder and the
// page-by-page import that the window and the CLI share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
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
// Pages in a row without an answer after which the meter counts as lost.
inline constexpr int kPagesWithoutAnswerLimit = 3;

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

// A page's readings are taken only from a whole reply that starts with "VK": the link
// reads every attempt from the start of the reply, so a cut reply's bytes may be the tail
// of the reply laid over its head, and a reply without the magic is not the meter's.
enum class PageStatus {
    Read,      // the whole reply came in and is the meter's
    NoAnswer,  // the request went out, but no whole "VK" reply came back
    NotSent,   // the port did not open or the request was not written whole
};

// Read when reply is whole (all kPageReplyBytes of it) and starts with "VK", else NoAnswer.
PageStatus JudgePageReply(const Bytes& reply, bool whole);

struct PageResult {
    int page = 0;
    PageStatus status = PageStatus::NotSent;
    PageReadings readings{};  // only meaningful when status is Read (else all zero)
};

// One page: the request, 127 bytes awaited in 10 attempts of 100 ms.
PageResult ReadPage(MeterLink& link, int page);

struct ImportOutcome {
    int pagesTotal = 0;
    int pagesDone = 0;               // pages tried, in order from page 0
    int pagesRead = 0;               // pages whose readings were taken
    std::vector<int> notSentPages;   // no records were taken from them
    std::vector<int> noAnswerPages;  // nor from these
    bool cancelled = false;          // stopped before the last page when asked to
    bool gaveUp = false;             // stopped after kPagesWithoutAnswerLimit silent pages

    bool Complete() const { return !cancelled && !gaveUp && pagesRead == pagesTotal; }
    // Readings the meter holds that the import did not get, pages never tried included.
    int MissingReadings() const { return (pagesTotal - pagesRead) * kRecordsPerPage; }
    // Of those, the ones lost on pages that were tried.
    int MissingFromPagesDone() const { return (pagesDone - pagesRead) * kRecordsPerPage; }
};

// Called after each page; returns false to stop before the next one.
using PageSink = std::function<bool(const PageResult&)>;
// Reads one page (ReadPage on a link; tests put a meter model here).
using PageReader = std::function<PageResult(int page)>;

// Reads pages 0 to pages - 1 in order, handing each to onPage. Gives up after
// kPagesWithoutAnswerLimit pages in a row that were not read: the meter is gone, and each
// further page would only cost its second of waiting.
ImportOutcome ImportPages(int pages, const PageReader& read, const PageSink& onPage);
// The same over a link. Each page is one exchange, so another thread's exchange may run
// between two pages but never inside one.
ImportOutcome ImportPages(MeterLink& link, int pages, const PageSink& onPage);

// Appends the records a page gives, each with energy 0 and time 0: its 15 readings (as
// many as fit) when it was read, none otherwise. Returns how many.
int AppendPageRecords(ReadingBuffer& buffer, const PageResult& page);

// One sentence (no full stop) on what an import that did not complete lacks, e.g. "the
// meter gave no answer to pages 4 to 6, so the import stopped there: 1440 of 1500 readings
// are missing"; empty for a complete import.
std::string DescribeImportShortfall(const ImportOutcome& outcome);

}  // namespace qtm
