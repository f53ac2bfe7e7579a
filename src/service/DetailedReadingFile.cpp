#include "service/DetailedReadingFile.h"

#include <algorithm>
#include <cerrno>

namespace qtm {
namespace {

// Rows between two writes: about a megabyte of text.
constexpr std::size_t kRowsPerBlock = 8192;

void AppendRows(std::string& out, ReadingColumns columns, const DetailedReadings& r,
                std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end; ++i)
        AppendReadingCsv(out, columns,
                         DetailedReading(r.records[i], r.details[i], r.units, r.serial));
}

std::size_t RowCount(const DetailedReadings& r) {
    return std::min(r.records.size(), r.details.Count());
}

}  // namespace

ReadingColumns DetailedColumns(const ReadingDetails& details) {
    std::vector<ReadingColumns> present;
    if (details.Has(ReadingSource::UsbLive)) present.push_back(ReadingColumns::UsbLive());
    if (details.Has(ReadingSource::BusLive)) present.push_back(ReadingColumns::BusLive());
    if (details.Has(ReadingSource::Imported)) present.push_back(ReadingColumns::Import());
    if (present.empty()) return ReadingColumns::UsbLive();
    if (present.size() == 1) return present.front();
    ReadingColumns common;
    for (std::size_t i = 0; i < kReadingFieldCount; ++i) {
        const auto field = static_cast<ReadingField>(i);
        if (std::all_of(present.begin(), present.end(),
                        [field](ReadingColumns c) { return c.Has(field); }))
            common.With(field);
    }
    return common;
}

ReadingObject DetailedReading(const MeasurementRecord& record, const ReadingDetail& detail,
                              ReadingUnits units, const std::string& serial) {
    ReadingObject o;
    o.n = record.number;
    o.time = detail.time;
    o.power = record.power;
    o.unit = units.power;
    o.energy = record.energy;
    o.energyUnit = units.energy;
    o.seconds = record.seconds;
    o.temperature = detail.temperature;
    o.voltage = detail.voltage;
    o.ad = detail.ad;
    o.address = detail.address;
    o.serial = serial;
    o.zero = detail.zero;
    o.cal = detail.cal;
    o.calK = detail.calK;
    o.k = detail.k;
    return o;
}

std::string DetailedReadingText(const DetailedReadings& readings) {
    const ReadingColumns columns = DetailedColumns(readings.details);
    std::string text = ReadingLogPreamble(readings.metadata, columns);
    AppendRows(text, columns, readings, 0, RowCount(readings));
    return text;
}

FileResult WriteDetailedReadings(const std::filesystem::path& target,
                                 const DetailedReadings& readings) {
    return WriteFileThrough(target, [&readings](NativeFile& file) {
        const ReadingColumns columns = DetailedColumns(readings.details);
        std::string block = ReadingLogPreamble(readings.metadata, columns);
        const std::size_t rows = RowCount(readings);
        for (std::size_t first = 0;; first += kRowsPerBlock) {
            const std::size_t end = std::min(rows, first + kRowsPerBlock);
            if (first < end) AppendRows(block, columns, readings, first, end);
            if (!WriteAll(file, block.data(), block.size())) return errno != 0 ? errno : EIO;
            block.clear();
            if (end >= rows) return 0;
        }
    });
}

}  // namespace qtm
