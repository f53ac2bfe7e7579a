// The stored-record page request and decoder, on any bytes.
// Must never: crash or read outside the reply; give a reading other than the
// little-endian float at its place (zero where the reply is too short); send a request
// other than the seven bytes "VK" 42 20 01 00 and the page's low byte; ask for more than
// 500 pages; take the readings of a reply that is cut or does not start with "VK".
#include <bit>
#include <cstdint>
#include <vector>

#include "FuzzInput.h"
#include "service/RecordImport.h"

using namespace qtm;
using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const int page = static_cast<int>(input.Word());
    const int stored = static_cast<std::int16_t>(input.Word()) * 15 + input.Byte() % 15;
    // The reply as its own allocation, so a read past its end is caught.
    const Bytes reply = input.Rest();

    const Bytes request = BuildPageRequest(page);
    QTM_FUZZ_CHECK(request == (Bytes{'V', 'K', 0x42, 0x20, 0x01, 0x00,
                                     static_cast<std::uint8_t>(page & 0xFF)}));

    const int pages = PagesOfStoredCount(stored);
    QTM_FUZZ_CHECK(pages >= 0 && pages <= kMaxImportPages);
    QTM_FUZZ_CHECK(pages * kRecordsPerPage <= (stored > 0 ? stored : 0));

    const bool meters = reply.size() >= kPageReplyBytes && reply[0] == 'V' && reply[1] == 'K';
    QTM_FUZZ_CHECK((JudgePageReply(reply, true) == PageStatus::Read) == meters);
    QTM_FUZZ_CHECK(JudgePageReply(reply, false) == PageStatus::NoAnswer);

    const PageReadings readings = DecodePage(reply);
    for (std::size_t r = 0; r < readings.size(); ++r) {
        std::uint32_t bits = 0;
        for (std::size_t b = 0; b < 4; ++b) {
            const std::size_t at = 6 + 4 * r + b;
            bits |= static_cast<std::uint32_t>(at < reply.size() ? reply[at] : 0) << (8 * b);
        }
        QTM_FUZZ_CHECK(std::bit_cast<std::uint32_t>(readings[r]) == bits);
    }
    return 0;
}
