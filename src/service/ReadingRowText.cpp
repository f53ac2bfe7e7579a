#include "service/ReadingRowText.h"

#include <charconv>

#include "service/ReadingFormat.h"

namespace qtm {

std::string FixedText(double value, int decimals) {
    // A double with a few decimals never needs more than 330 characters.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return std::string(buffer, result.ptr);
}

std::string ReadingCellText(const MeasurementRecord& record, RowOrigin origin, int column) {
    switch (column) {
        case 0:
            return std::to_string(record.number);
        case 1:
            return FormatNumber(record.power);
        case 2:
            if (origin == RowOrigin::Imported) return "0";
            // Large totals would lose their decimals in single precision.
            if (record.energy > 100000.0) return FixedText(record.energy, 1);
            return FormatNumber(static_cast<float>(record.energy));
        case 3:
            if (origin == RowOrigin::Imported) return "0";
            return FixedText(static_cast<double>(record.seconds), 1);
        default:
            return {};
    }
}

}  // namespace qtm
