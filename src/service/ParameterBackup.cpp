#include "service/ParameterBackup.h"

#include <charconv>
#include <cmath>

#include "service/NumberText.h"

namespace qtm {

namespace {

constexpr std::string_view kHeading = "# QTM200Debug meter parameters";
constexpr std::string_view kFormatLine = "format=1";
constexpr const char* kNotRead = "(not read)";

std::string Escape(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<float> ParseFloat(std::string_view text) {
    float value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    // A parameter the meter stored is a finite single; anything else is a damaged file.
    if (ec != std::errc{} || ptr != end || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::int32_t> ParseInt(std::string_view text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc{} || ptr != end) return std::nullopt;
    return value;
}

void Put(std::string& out, std::string_view key, const std::optional<std::string>& value) {
    if (value) out += std::string(key) + "=" + Escape(*value) + "\n";
}

void Put(std::string& out, std::string_view key, const std::optional<float>& value) {
    if (value) out += std::string(key) + "=" + FormatExact(*value) + "\n";
}

std::string Shown(const std::optional<std::string>& value) {
    return value ? "\"" + *value + "\"" : kNotRead;
}

std::string Shown(const std::optional<float>& value) {
    return value ? FormatExact(*value) : kNotRead;
}

std::string Shown(const std::optional<std::int32_t>& value) {
    return value ? std::to_string(*value) : kNotRead;
}

}  // namespace

std::string FormatBackup(const MeterParameters& p) {
    std::string out;
    out += kHeading;
    out += "\n";
    out += kFormatLine;
    out += "\n";
    out += "taken=" + Escape(p.taken) + "\n";
    out += "link=" + Escape(p.link) + "\n";
    out += "port=" + Escape(p.port) + "\n";
    Put(out, "model", p.model);
    Put(out, "sn", p.serialNumber);
    Put(out, "band", p.band);
    Put(out, "range", p.range);
    Put(out, "cal", p.calValue);
    if (p.saveGap) out += "savetime=" + std::to_string(*p.saveGap) + "\n";
    Put(out, "k", p.k);
    Put(out, "calk", p.calK);
    Put(out, "zero", p.zero);
    return out;
}

BackupParse ParseBackup(std::string_view text) {
    BackupParse result;
    MeterParameters p;
    bool format = false;
    std::size_t lineNumber = 0;
    auto fail = [&](const std::string& why) {
        result.error = "line " + std::to_string(lineNumber) + " of the backup " + why;
        return result;
    };
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t newline = text.find('\n');
        std::string_view line = text.substr(0, newline);
        text = newline == std::string_view::npos ? std::string_view() : text.substr(newline + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) return fail("has no \"=\"");
        const std::string_view key = line.substr(0, eq);
        const std::string_view raw = line.substr(eq + 1);
        if (key == "format") {
            if (raw != "1") return fail("names a format this program does not know");
            format = true;
            continue;
        }
        const std::optional<std::string> value = Unescape(raw);
        if (!value) return fail("has a broken escape");
        if (key == "taken") {
            p.taken = *value;
        } else if (key == "link") {
            p.link = *value;
        } else if (key == "port") {
            p.port = *value;
        } else if (key == "model") {
            p.model = *value;
        } else if (key == "sn") {
            p.serialNumber = *value;
        } else if (key == "band") {
            p.band = *value;
        } else if (key == "range") {
            p.range = *value;
        } else if (key == "savetime") {
            if (!(p.saveGap = ParseInt(raw))) return fail("has a save interval that is no number");
        } else if (key == "cal" || key == "k" || key == "calk" || key == "zero") {
            const std::optional<float> number = ParseFloat(raw);
            if (!number) return fail("has a value for " + std::string(key) + " that is no number");
            if (key == "cal") p.calValue = number;
            if (key == "k") p.k = number;
            if (key == "calk") p.calK = number;
            if (key == "zero") p.zero = number;
        }
    }
    if (!format) {
        lineNumber = 0;
        result.error = "the file is not a parameter backup (no format line)";
        return result;
    }
    result.parameters = std::move(p);
    return result;
}

std::vector<ParameterChange> DiffParameters(const MeterParameters& current,
                                            const MeterParameters& backup, bool bus) {
    std::vector<ParameterChange> changes;
    auto text = [&](const char* name, const std::optional<std::string>& now,
                    const std::optional<std::string>& then) {
        if (then && now != then) changes.push_back({name, Shown(now), Shown(then)});
    };
    auto number = [&](const char* name, const auto& now, const auto& then) {
        if (then && now != then) changes.push_back({name, Shown(now), Shown(then)});
    };
    if (!bus) {
        text("model", current.model, backup.model);
        text("sn", current.serialNumber, backup.serialNumber);
        text("band", current.band, backup.band);
        text("range", current.range, backup.range);
    }
    number("cal", current.calValue, backup.calValue);
    if (!bus) number("savetime", current.saveGap, backup.saveGap);
    number("k", current.k, backup.k);
    return changes;
}

std::string DescribeChanges(const std::vector<ParameterChange>& changes) {
    if (changes.empty()) return "The meter already holds every value of the backup.\n";
    std::string out;
    for (const ParameterChange& c : changes)
        out += c.name + ": " + c.current + " -> " + c.restored + "\n";
    return out;
}

}  // namespace qtm
