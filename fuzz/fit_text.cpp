// The fitting-data text of the USB read, as the meter (or anything on the line) sends it.
// Must never: crash, read outside the text, keep more than 50 pairs or 5 coefficients, or
// count more "AD:" values than the text could hold. The RS-485 pairs text of any pairs must
// read back into the same pairs (within the six decimals it prints).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "service/FitText.h"

using namespace qtm;
using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text as its own allocation, so a read past its end is caught.
    const std::vector<std::uint8_t> text(data, data + size);
    const FitTextValues values = ParseFitText(text);
    QTM_FUZZ_CHECK(values.adCount <= size / 2);
    QTM_FUZZ_CHECK(values.pairs.size() == kFitPairCount);

    // Pairs made of the input's bytes, printed as the window shows them and read back.
    FitPairs pairs{};
    for (std::size_t i = 0; i < pairs.size() && (i + 1) * 8 <= size; ++i) {
        std::memcpy(&pairs[i].t, data + i * 8, 4);
        std::memcpy(&pairs[i].ad, data + i * 8 + 4, 4);
    }
    const std::string printed = FormatFitPairsText(pairs);
    const FitTextValues back = ParseFitText(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t*>(printed.data()), printed.size()));
    QTM_FUZZ_CHECK(back.adCount == kFitPairCount);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        for (const auto& [sent, read] :
             {std::pair{pairs[i].t, back.pairs[i].t}, std::pair{pairs[i].ad, back.pairs[i].ad}}) {
            if (std::isnan(sent)) continue;
            if (std::isinf(sent)) {
                QTM_FUZZ_CHECK(read == sent);
                continue;
            }
            QTM_FUZZ_CHECK(std::fabs(static_cast<double>(sent) - read) <=
                           1e-6 + 1e-6 * std::fabs(static_cast<double>(sent)));
        }
    }
    return 0;
}
