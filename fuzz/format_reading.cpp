// FormatReading on any float, kind and model name.
// Must never: crash, overflow its number buffer, print a decimal comma or grouping,
// give an empty text or anything but a padded number (NaN and infinity as printf
// spells them), or leave a power or energy reading without a unit.
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzInput.h"
#include "service/ReadingFormat.h"

using namespace qtm;
using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const auto kind = static_cast<ReadingKind>(input.Byte() % 3);
    float value = 0;
    const std::vector<std::uint8_t> raw = input.Bytes(sizeof value);
    if (!raw.empty()) std::memcpy(&value, raw.data(), raw.size());
    const std::string model(input.ShortText());

    std::string text = "old";
    std::string unit = "kept";
    FormatReading(text, kind, value, unit, model);
    QTM_FUZZ_CHECK(!text.empty() && text.size() < 64);
    QTM_FUZZ_CHECK(text.find(',') == std::string::npos);
    QTM_FUZZ_CHECK(text.find_first_not_of(" 0123456789.-+einfa") == std::string::npos);
    if (kind == ReadingKind::Plain)
        QTM_FUZZ_CHECK(unit == "kept");
    else
        QTM_FUZZ_CHECK(!unit.empty() && unit != "kept");
    return 0;
}
