#include "service/ReadingRowText.h"

#include "service/NumberText.h"
#include "service/ReadingFormat.h"

namespace qtm {

std::string ReadingCellText(const MeasurementRecord& record, RowOrigin origin, int column) {
    switch (column) {
        case 0:
            return std::to_string(record.number);
        case 1:
            return FormatNumber(record.power);
        case 2:
            if (origin == RowOrigin::Imported) return "0";
            // Large totals would lose their decimals in single precision.
            if (record.energy > 100000.0) return FormatFixed(record.energy, 1);
            return FormatNumber(static_cast<float>(record.energy));
        case 3:
            if (origin == RowOrigin::Imported) return "0";
            return FormatFixed(static_cast<double>(record.seconds), 1);
        default:
            return {};
    }
}

}  // namespace qtm
