#include "service/ReadingObject.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <type_traits>

#include "service/JsonText.h"
#include "service/ModelCatalog.h"
#include "service/UtcTime.h"

namespace qtm {
namespace {

using TimePoint = std::chrono::system_clock::time_point;

constexpr std::array<std::string_view, kReadingFieldCount> kKeys{
    "n",       "time", "power",   "unit",   "energy", "energy_unit", "seconds", "temperature",
    "voltage", "ad",   "address", "serial", "zero",   "cal",         "calk",    "k",
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Calls visit(field, value) for each of columns' fields in the one order, with the value
// as the object holds it, so the field list is written once for every format.
template <typename Visit>
void ForEachField(ReadingColumns columns, const ReadingObject& r, Visit&& visit) {
    auto one = [&](ReadingField field, const auto& value) {
        if (columns.Has(field)) visit(field, value);
    };
    one(ReadingField::N, r.n);
    one(ReadingField::Time, r.time);
    one(ReadingField::Power, r.power);
    one(ReadingField::Unit, r.unit);
    one(ReadingField::Energy, r.energy);
    one(ReadingField::EnergyUnit, r.energyUnit);
    one(ReadingField::Seconds, r.seconds);
    one(ReadingField::Temperature, r.temperature);
    one(ReadingField::Voltage, r.voltage);
    one(ReadingField::Ad, r.ad);
    one(ReadingField::Address, r.address);
    one(ReadingField::Serial, std::string_view(r.serial));
    one(ReadingField::Zero, r.zero);
    one(ReadingField::Cal, r.cal);
    one(ReadingField::CalK, r.calK);
    one(ReadingField::K, r.k);
}

// The shortest text that reads back to the same value (std::to_chars never looks at the
// locale); integers as integers.
template <typename T>
void AppendNumber(std::string& out, T value) {
    char buffer[48];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, static_cast<std::size_t>(end - buffer));
}

// A text cell, quoted only when a comma, quote or line end in it would split the row.
void AppendCsvText(std::string& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

// The text between the first '(' and the last ')', or all of it without them.
std::string_view InsideParentheses(std::string_view text) {
    const auto open = text.find('(');
    const auto close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return text;
    return text.substr(open + 1, close - open - 1);
}

// Reads one RFC 4180 record from text at *at, moving *at past it and its line end.
struct RecordRead {
    bool ended = false;      // a line end closed it
    bool openQuote = false;  // the text ended inside quotes
    std::size_t lines = 1;   // text lines it spans
};

RecordRead ReadRecord(std::string_view text, std::size_t* at, std::vector<std::string>& cells) {
    RecordRead read;
    cells.clear();
    std::string cell;
    bool inQuotes = false;
    bool fieldStart = true;
    std::size_t i = *at;
    while (i < text.size()) {
        const char c = text[i];
        if (inQuotes) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    cell += '"';
                    i += 2;
                } else {
                    inQuotes = false;
                    ++i;
                }
                continue;
            }
            if (c == '\n') ++read.lines;
            cell += c;
            ++i;
            continue;
        }
        if (c == ',') {
            cells.push_back(std::move(cell));
            cell.clear();
            fieldStart = true;
            ++i;
            continue;
        }
        if (c == '"' && fieldStart) {
            inQuotes = true;
            fieldStart = false;
            ++i;
            continue;
        }
        if (c == '\n' || (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            i += c == '\r' ? 2 : 1;
            read.ended = true;
            break;
        }
        fieldStart = false;
        cell += c;
        ++i;
    }
    cells.push_back(std::move(cell));
    read.openQuote = inQuotes;
    *at = i;
    return read;
}

// "# key: value" (the space after the colon optional); a line without a colon is all key.
std::pair<std::string, std::string> MetadataOf(std::string_view line) {
    line.remove_prefix(1);
    if (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) return {std::string(line), {}};
    std::string_view value = line.substr(colon + 1);
    if (!value.empty() && value.front() == ' ') value.remove_prefix(1);
    return {std::string(line.substr(0, colon)), std::string(value)};
}

}  // namespace

std::string_view ReadingFieldKey(ReadingField field) {
    const auto index = static_cast<std::size_t>(field);
    return index < kKeys.size() ? kKeys[index] : std::string_view{};
}

std::optional<ReadingField> ReadingFieldOfKey(std::string_view key) {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (kKeys[i] == key) return static_cast<ReadingField>(i);
    }
    return std::nullopt;
}

std::size_t ReadingColumns::Count() const {
    return static_cast<std::size_t>(std::popcount(m_bits));
}

ReadingColumns ReadingColumns::UsbLive() {
    using F = ReadingField;
    return ReadingColumns()
        .With(F::N)
        .With(F::Time)
        .With(F::Power)
        .With(F::Unit)
        .With(F::Energy)
        .With(F::EnergyUnit)
        .With(F::Seconds)
        .With(F::Temperature)
        .With(F::Voltage)
        .With(F::Ad)
        .With(F::Serial);
}

ReadingColumns ReadingColumns::BusLive() {
    using F = ReadingField;
    return ReadingColumns()
        .With(F::N)
        .With(F::Time)
        .With(F::Power)
        .With(F::Unit)
        .With(F::Temperature)
        .With(F::Voltage)
        .With(F::Ad)
        .With(F::Address)
        .With(F::Serial)
        .With(F::Zero)
        .With(F::Cal)
        .With(F::CalK)
        .With(F::K);
}

ReadingColumns ReadingColumns::Import() {
    using F = ReadingField;
    return ReadingColumns().With(F::N).With(F::Power).With(F::Unit).With(F::Serial);
}

ReadingUnits ListUnitsOfModel(std::string_view model) {
    const ModelTexts& texts = TextsOfModel(model);
    return {InsideParentheses(texts.listPower), InsideParentheses(texts.listEnergy)};
}

std::string ReadingCsvHeader(ReadingColumns columns) {
    std::string line;
    for (std::size_t i = 0; i < kReadingFieldCount; ++i) {
        const auto field = static_cast<ReadingField>(i);
        if (!columns.Has(field)) continue;
        if (!line.empty()) line += ',';
        line += ReadingFieldKey(field);
    }
    line += "\r\n";
    return line;
}

void AppendReadingCsv(std::string& out, ReadingColumns columns, const ReadingObject& reading) {
    bool first = true;
    ForEachField(columns, reading, [&](ReadingField, const auto& value) {
        if (!first) out += ',';
        first = false;
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::optional<TimePoint>>) {
            if (value) AppendUtcIsoMillis(out, *value);
        } else if constexpr (std::is_same_v<T, std::string_view>) {
            AppendCsvText(out, value);
        } else {
            AppendNumber(out, value);
        }
    });
    out += "\r\n";
}

void AppendReadingJson(std::string& out, ReadingColumns columns, const ReadingObject& reading) {
    out += '{';
    bool first = true;
    ForEachField(columns, reading, [&](ReadingField field, const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::optional<TimePoint>>) {
            if (!value) return;
        }
        if (!first) out += ',';
        first = false;
        // The keys are plain ASCII: no escaping to do.
        out += '"';
        out += ReadingFieldKey(field);
        out += "\":";
        if constexpr (std::is_same_v<T, std::optional<TimePoint>>) {
            out += '"';
            AppendUtcIsoMillis(out, *value);
            out += '"';
        } else if constexpr (std::is_same_v<T, std::string_view>) {
            AppendJsonString(out, value);
        } else if constexpr (std::is_floating_point_v<T>) {
            if (std::isfinite(value))
                AppendNumber(out, value);
            else
                out += "null";
        } else {
            AppendNumber(out, value);
        }
    });
    out += "}\n";
}

std::optional<std::size_t> ReadingTable::Column(std::string_view key) const {
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (header[i] == key) return i;
    }
    return std::nullopt;
}

ReadingTable ParseReadingCsv(std::string_view text) {
    ReadingTable table;
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    std::size_t at = 0;
    std::size_t line = 1;
    // The metadata block (and blank lines) before the header.
    while (at < text.size() && (text[at] == '#' || text[at] == '\n' || text[at] == '\r')) {
        auto end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view content = text.substr(at, end - at);
        if (content.ends_with('\r')) content.remove_suffix(1);
        if (content.starts_with('#')) table.metadata.push_back(MetadataOf(content));
        at = end < text.size() ? end + 1 : end;
        ++line;
    }
    if (at >= text.size()) return table;
    RecordRead read = ReadRecord(text, &at, table.header);
    line += read.lines;
    std::vector<std::string> cells;
    while (at < text.size()) {
        const std::size_t start = line;
        read = ReadRecord(text, &at, cells);
        line += read.lines;
        if (read.openQuote) {
            table.openQuote = true;
            break;
        }
        table.unendedLastRow = !read.ended;
        if (cells.size() == table.header.size())
            table.rows.push_back(std::move(cells));
        else
            table.badRows.push_back({start, cells.size()});
    }
    return table;
}

}  // namespace qtm
