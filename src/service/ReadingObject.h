// The one reading object every file and message we write for other programs carries (the
// CLI's csv and jsonl output, the reading log, the window's detailed save, MQTT), its two
// serializers, and the reader that takes those CSV files back. One object and one writer
// per format mean one reader handles them all.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qtm {

// The fields in their one order (CSV columns follow it). Keys: n time power unit energy
// energy_unit seconds temperature voltage ad address serial zero cal calk k
enum class ReadingField : std::uint8_t {
    N,
    Time,
    Power,
    Unit,
    Energy,
    EnergyUnit,
    Seconds,
    Temperature,
    Voltage,
    Ad,
    Address,
    Serial,
    Zero,
    Cal,
    CalK,
    K,
};
inline constexpr std::size_t kReadingFieldCount = 16;

std::string_view ReadingFieldKey(ReadingField field);
// The field of a key; nothing for a key that names none.
std::optional<ReadingField> ReadingFieldOfKey(std::string_view key);

// Which fields a run's readings carry.
class ReadingColumns {
public:
    constexpr ReadingColumns() = default;
    constexpr ReadingColumns& With(ReadingField field) {
        m_bits |= Bit(field);
        return *this;
    }
    constexpr bool Has(ReadingField field) const { return (m_bits & Bit(field)) != 0; }
    // How many fields are in.
    std::size_t Count() const;

    static ReadingColumns UsbLive();  // n time power unit energy energy_unit seconds temperature
                                      // voltage ad serial
    static ReadingColumns BusLive();  // n time power unit temperature voltage ad address serial
                                      // zero cal calk k
    static ReadingColumns Import();   // n power unit serial (stored readings have no clock)

    friend constexpr bool operator==(ReadingColumns, ReadingColumns) = default;

private:
    static constexpr std::uint32_t Bit(ReadingField field) {
        return std::uint32_t{1} << static_cast<unsigned>(field);
    }

    std::uint32_t m_bits = 0;
};

struct ReadingObject {
    std::int64_t n = 0;
    std::optional<std::chrono::system_clock::time_point> time;
    float power = 0;
    std::string_view unit;  // catalogue texts: static lifetime
    double energy = 0;
    std::string_view energyUnit;
    float seconds = 0;
    float temperature = 0, voltage = 0, ad = 0;
    int address = 0;
    std::string serial;
    float zero = 0, cal = 0, calK = 0, k = 0;
};

// The units of the model's row in the catalogue, as the reading list's headers show them:
// the text inside the parentheses of ModelTexts::listPower / listEnergy ("umol/cm²/s", "mj/cm²").
struct ReadingUnits {
    std::string_view power;
    std::string_view energy;
};
ReadingUnits ListUnitsOfModel(std::string_view model);

// "n,time,...\r\n": the header line of columns (RFC 4180, CR LF).
std::string ReadingCsvHeader(ReadingColumns columns);
// Appends one row with columns' fields, CR LF at its end; fields quoted only where RFC 4180
// needs it (comma, quote, CR, LF); a field not set (time empty) is an empty cell. A number
// that is not finite is written "nan", "inf" or "-inf", which from_chars reads back.
void AppendReadingCsv(std::string& out, ReadingColumns columns, const ReadingObject& reading);
// Appends one JSON object on one line, '\n' at its end, with only columns' fields, keys in
// the one order; a time that is empty is left out; non-finite numbers are null.
void AppendReadingJson(std::string& out, ReadingColumns columns, const ReadingObject& reading);

// A row whose cell count is not the header's: reported, never padded or cut to fit.
struct ReadingCsvBadRow {
    std::size_t line = 0;  // the text line the row starts on, counted from 1
    std::size_t cells = 0;
};

// What a CSV file of readings holds, as text cells.
struct ReadingTable {
    std::vector<std::pair<std::string, std::string>> metadata;  // "# key: value" lines
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;  // each with the header's cell count
    std::vector<ReadingCsvBadRow> badRows;
    bool unendedLastRow = false;  // the last row had no line end (taken when its count fits)
    bool openQuote = false;       // the text ended inside a quoted field: that row is not taken

    // The index of a header cell; nothing when the header has no such column.
    std::optional<std::size_t> Column(std::string_view key) const;
};

// Skips a UTF-8 byte-order mark and the "# key: value" lines before the header (kept as
// metadata), takes the first other line as the header and the rest as RFC 4180 rows
// (quoted fields, doubled quotes, CR LF or LF line ends).
ReadingTable ParseReadingCsv(std::string_view text);

}  // namespace qtm
