#include "service/ParameterBackup.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <set>
#include <span>

#include "device/MeterText.h"
#include "service/NumberText.h"

namespace qtm {

namespace {

constexpr std::string_view kHeading = "# QTM200Debug meter parameters";
constexpr std::string_view kBytesNote =
    "# each text is followed by its bytes as the meter sent them (hex); a restore writes those";
constexpr std::string_view kFormatLine = "format=2";
constexpr const char* kNotRead = "(not read)";
constexpr const char* kNoBusForm = " (cannot be written over RS-485)";
constexpr const char* kHex = "0123456789ABCDEF";

// Keys every backup holds, and those of each link. A text's "_bytes" key goes with it from
// format 2 on.
constexpr std::string_view kCommonKeys[] = {"taken", "link", "port", "model", "sn", "cal", "k"};
constexpr std::string_view kUsbKeys[] = {"band", "range", "savetime"};
constexpr std::string_view kBusKeys[] = {"calk", "zero"};

std::string Escape(std::string_view text) {
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

std::string Hex(std::string_view bytes) {
    std::string out;
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unhex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
    }
    return out;
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

std::string Trimmed(std::string_view bytes) {
    return TrimMeterField(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

// The most bytes a read can bring for a text: the model register block of the bus has 12,
// the band reply's count stops at 15, the range's at 14.
std::size_t ReadLimit(TextParameter which) {
    switch (which) {
        case TextParameter::Model:
            return 12;
        case TextParameter::SerialNumber:
            return 10;
        case TextParameter::Band:
            return 15;
        case TextParameter::Range:
            return 14;
    }
    return 0;
}

void Put(std::string& out, std::string_view key, const std::optional<float>& value) {
    if (value) out += std::string(key) + "=" + FormatExact(*value) + "\n";
}

std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

bool SameBits(const std::optional<float>& a, const std::optional<float>& b) {
    if (!a || !b) return a.has_value() == b.has_value();
    return Bits(*a) == Bits(*b);
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

bool Known(std::string_view key) {
    const std::span<const std::string_view> lists[] = {kCommonKeys, kUsbKeys, kBusKeys};
    for (const auto& keys : lists) {
        for (std::string_view k : keys) {
            if (key == k) return true;
        }
    }
    for (TextParameter which : kTextParameters) {
        if (key == std::string(TextParameterName(which)) + "_bytes") return true;
    }
    return key == "format";
}

}  // namespace

std::optional<std::string>& MeterParameters::Text(TextParameter which) {
    switch (which) {
        case TextParameter::Model:
            return model;
        case TextParameter::SerialNumber:
            return serialNumber;
        case TextParameter::Band:
            return band;
        case TextParameter::Range:
            break;
    }
    return range;
}

const std::optional<std::string>& MeterParameters::Text(TextParameter which) const {
    return const_cast<MeterParameters*>(this)->Text(which);
}

std::optional<std::string>& MeterParameters::TextBytes(TextParameter which) {
    switch (which) {
        case TextParameter::Model:
            return modelBytes;
        case TextParameter::SerialNumber:
            return serialNumberBytes;
        case TextParameter::Band:
            return bandBytes;
        case TextParameter::Range:
            break;
    }
    return rangeBytes;
}

const std::optional<std::string>& MeterParameters::TextBytes(TextParameter which) const {
    return const_cast<MeterParameters*>(this)->TextBytes(which);
}

void MeterParameters::SetText(TextParameter which, std::string_view bytes) {
    std::string kept = Trimmed(bytes);
    Text(which) = DecodeMeterText(kept);
    TextBytes(which) = std::move(kept);
}

std::optional<std::string> MeterTextBytes(const MeterParameters& p, TextParameter which) {
    if (p.TextBytes(which)) return p.TextBytes(which);
    if (!p.Text(which)) return std::nullopt;
    const MeterTextEncoding encoded = EncodeMeterText(*p.Text(which));
    if (!encoded.bytes) return std::nullopt;
    return Trimmed(*encoded.bytes);
}

std::string FormatBackup(const MeterParameters& p) {
    std::string out;
    out += kHeading;
    out += "\n";
    out += kBytesNote;
    out += "\n";
    out += kFormatLine;
    out += "\n";
    out += "taken=" + Escape(p.taken) + "\n";
    out += "link=" + Escape(p.link) + "\n";
    out += "port=" + Escape(p.port) + "\n";
    for (TextParameter which : kTextParameters) {
        const std::optional<std::string>& text = p.Text(which);
        if (!text) continue;
        const std::string name = TextParameterName(which);
        out += name + "=" + Escape(*text) + "\n";
        if (const std::optional<std::string> bytes = MeterTextBytes(p, which))
            out += name + "_bytes=" + Hex(*bytes) + "\n";
    }
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
    int format = 0;
    std::set<std::string, std::less<>> seen;
    const bool whole = !text.empty() && text.back() == '\n';
    std::size_t lineNumber = 0;
    auto fail = [&](const std::string& why) {
        result.error = "line " + std::to_string(lineNumber) + " of the backup " + why;
        return result;
    };
    auto refuse = [&](const std::string& why) {
        result.error = why;
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
        // A key the program does not know may hold a value it would then not restore, or be a
        // typing error in one it would: either way the file is not what it seems.
        if (!Known(key)) return fail("has the unknown key \"" + std::string(key) + "\"");
        if (!seen.insert(std::string(key)).second)
            return fail("repeats the key \"" + std::string(key) + "\"");
        if (key == "format") {
            if (raw != "1" && raw != "2") return fail("names a format this program does not know");
            format = raw[0] - '0';
            continue;
        }
        if (key.ends_with("_bytes")) {
            const TextParameter which = *TextParameterNamed(key.substr(0, key.size() - 6));
            const std::optional<std::string> bytes = Unhex(raw);
            if (!bytes)
                return fail("has " + std::string(key) + " that are not pairs of hex digits");
            if (bytes->size() > ReadLimit(which))
                return fail("has " + std::string(key) + " longer than any meter sends");
            p.TextBytes(which) = Trimmed(*bytes);
            continue;
        }
        const std::optional<std::string> value = Unescape(raw);
        if (!value) return fail("has a broken escape");
        if (key == "taken") {
            p.taken = *value;
        } else if (key == "link") {
            if (*value != "usb" && *value != "rs485")
                return fail("names the link \"" + *value + "\", which is neither usb nor rs485");
            p.link = *value;
        } else if (key == "port") {
            p.port = *value;
        } else if (const std::optional<TextParameter> which = TextParameterNamed(key)) {
            p.Text(*which) = *value;
        } else if (key == "savetime") {
            if (!(p.saveGap = ParseInt(raw))) return fail("has a save interval that is no number");
        } else {
            const std::optional<float> number = ParseFloat(raw);
            if (!number) return fail("has a value for " + std::string(key) + " that is no number");
            if (key == "cal") p.calValue = number;
            if (key == "k") p.k = number;
            if (key == "calk") p.calK = number;
            if (key == "zero") p.zero = number;
        }
    }
    if (format == 0) return refuse("the file is not a parameter backup (no format line)");
    if (!whole) return refuse("the backup ends inside a line, so it was cut short");
    auto missing = [&](std::string_view key) {
        return refuse("the backup has no \"" + std::string(key) + "\" line, so it is not whole");
    };
    for (std::string_view key : kCommonKeys) {
        if (!seen.contains(key)) return missing(key);
    }
    const std::span<const std::string_view> linkKeys =
        p.link == "usb" ? std::span<const std::string_view>(kUsbKeys) : kBusKeys;
    for (std::string_view key : linkKeys) {
        if (!seen.contains(key)) return missing(key);
    }
    for (TextParameter which : kTextParameters) {
        const std::string name = TextParameterName(which);
        std::optional<std::string>& readable = p.Text(which);
        std::optional<std::string>& bytes = p.TextBytes(which);
        if (bytes && !readable) return missing(name);
        if (!readable) continue;
        if (!bytes) {
            if (format >= 2) return missing(name + "_bytes");
            // An older backup kept the readable text alone: it goes back through GBK.
            const MeterTextEncoding encoded = EncodeMeterText(*readable);
            if (encoded.notUtf8) return refuse("the backup's " + name + " is not UTF-8 text");
            if (!encoded.bytes)
                return refuse("the backup's " + name + " holds \"" + encoded.character +
                              "\", which the meter's code page (GBK) cannot express");
            bytes = Trimmed(*encoded.bytes);
            if (bytes->size() > ReadLimit(which))
                return refuse("the backup's " + name + " is longer than any meter sends");
        } else if (DecodeMeterText(*bytes) != Trimmed(*readable)) {
            return refuse("the backup's " + name + " does not match its " + name + "_bytes");
        }
        readable = DecodeMeterText(*bytes);
    }
    result.parameters = std::move(p);
    return result;
}

std::vector<ParameterChange> DiffParameters(const MeterParameters& current,
                                            const MeterParameters& backup, bool bus) {
    std::vector<ParameterChange> changes;
    for (TextParameter which : kTextParameters) {
        const std::optional<std::string> then = MeterTextBytes(backup, which);
        const std::optional<std::string> now = MeterTextBytes(current, which);
        if (!then || now == then) continue;
        ParameterChange change{TextParameterName(which), Shown(current.Text(which)),
                               Shown(backup.Text(which)), !bus};
        // Bytes that read the same (two that are not GBK, say) are told apart by their hex.
        if (change.current == change.restored) {
            change.current += " (" + Hex(now.value_or("")) + ")";
            change.restored += " (" + Hex(*then) + ")";
        }
        changes.push_back(std::move(change));
    }
    if (backup.calValue && !SameBits(current.calValue, backup.calValue))
        changes.push_back({"cal", Shown(current.calValue), Shown(backup.calValue)});
    if (backup.saveGap && current.saveGap != backup.saveGap)
        changes.push_back({"savetime", Shown(current.saveGap), Shown(backup.saveGap), !bus});
    if (backup.k && !SameBits(current.k, backup.k))
        changes.push_back({"k", Shown(current.k), Shown(backup.k)});
    return changes;
}

std::string DescribeChanges(const std::vector<ParameterChange>& changes) {
    if (changes.empty()) return "The meter already holds every value of the backup.\n";
    std::string out;
    for (const ParameterChange& c : changes)
        out +=
            c.name + ": " + c.current + " -> " + c.restored + (c.writable ? "" : kNoBusForm) + "\n";
    return out;
}

std::string OtherMeterText(const MeterParameters& current, const MeterParameters& backup) {
    const auto now = MeterTextBytes(current, TextParameter::SerialNumber);
    const auto then = MeterTextBytes(backup, TextParameter::SerialNumber);
    if (!now || !then || *now == *then) return {};
    return "This backup was taken from the meter with serial number \"" +
           backup.serialNumber.value_or("") + "\", but the meter connected now has \"" +
           current.serialNumber.value_or("") + "\".";
}

}  // namespace qtm
