// The CSV text of the reading buffer and its reader (the journal recovery), on any bytes.
// Must never: crash or read outside the input; format a value otherwise than printf's
// "%f" does in the C locale; lose or alter a record on the way from the buffer to the
// file and back (the text written again from what was read is the same text); take
// more records and bad lines from a text than it has lines.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "service/CsvFormat.h"
#include "service/CsvLog.h"

using namespace qtm;
using namespace qtm::fuzz;

namespace {

std::uint64_t Bits(FuzzInput& input, int bytes) {
    std::uint64_t bits = 0;
    for (int i = 0; i < bytes; ++i)
        bits |= static_cast<std::uint64_t>(input.Byte()) << (8 * i);
    return bits;
}

void CheckLikePrintf(double value) {
    char ours[400];
    char theirs[400];
    const std::size_t n = static_cast<std::size_t>(FormatFixed6(ours, value) - ours);
    const int m = std::snprintf(theirs, sizeof theirs, "%f", value);
    QTM_FUZZ_CHECK(m >= 0 && static_cast<std::size_t>(m) == n);
    QTM_FUZZ_CHECK(std::memcmp(ours, theirs, n) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t mode = input.Byte();

    if (mode % 2 == 0) {
        // Any bytes as a file: whatever is read is whole lines of it.
        const std::vector<std::uint8_t> rest = input.Rest();
        const std::string bytes(rest.begin(), rest.end());
        const CsvContents contents = ParseCsv(bytes);
        std::size_t lineEnds = 0;
        for (std::size_t i = 0; i + 3 < bytes.size(); i += 2)
            lineEnds +=
                bytes[i] == '\r' && bytes[i + 1] == 0 && bytes[i + 2] == '\n' && bytes[i + 3] == 0;
        QTM_FUZZ_CHECK(contents.records.size() + contents.badLines <= lineEnds + 1);
        return 0;
    }

    // Records of any bit patterns, numbered as the program numbers them (1, 2, ...: the
    // reader takes only numbers that run on, so a cut line never passes for a record),
    // written and read back.
    std::vector<MeasurementRecord> records;
    while (!input.Empty() && records.size() < 64) {
        MeasurementRecord r;
        r.number = static_cast<std::int32_t>(records.size() + 1);
        r.power = std::bit_cast<float>(static_cast<std::uint32_t>(Bits(input, 4)));
        r.energy = std::bit_cast<double>(Bits(input, 8));
        r.seconds = std::bit_cast<float>(static_cast<std::uint32_t>(Bits(input, 4)));
        CheckLikePrintf(static_cast<double>(r.power));
        CheckLikePrintf(r.energy);
        records.push_back(r);
    }
    const std::u16string header = u"iNo.,\u03A6(lm),Enegry(lm.s),Time(s)";
    const std::u16string text = CsvText(header, records);
    const CsvContents back = ParseCsv(Utf16LeBytes(text));
    QTM_FUZZ_CHECK(back.header == header);
    QTM_FUZZ_CHECK(back.badLines == 0);
    QTM_FUZZ_CHECK(back.records.size() == records.size());
    QTM_FUZZ_CHECK(CsvText(header, back.records) == text);
    return 0;
}
