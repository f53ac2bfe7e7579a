#include "service/JsonText.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace qtm {

namespace {

// Length of the UTF-8 sequence that starts at text[i], or 0 when it is not a valid one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

void AppendEscape(std::string& out, unsigned code) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "\\u%04x", code);
    out += buffer;
}

template <typename T>
std::string ShortestNumber(T value) {
    if (!std::isfinite(value)) return "null";
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

}  // namespace

std::string JsonString(std::string_view text) {
    std::string out;
    AppendJsonString(out, text);
    return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        switch (c) {
            case '"':
                out += "\\\"";
                ++i;
                continue;
            case '\\':
                out += "\\\\";
                ++i;
                continue;
            case '\n':
                out += "\\n";
                ++i;
                continue;
            case '\r':
                out += "\\r";
                ++i;
                continue;
            case '\t':
                out += "\\t";
                ++i;
                continue;
            default:
                break;
        }
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            // A stray byte stands for the Latin-1 character of the same value, so the line
            // stays valid and the byte can still be told.
            AppendEscape(out, static_cast<unsigned char>(c));
            ++i;
        } else if (length == 1 && (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)) {
            AppendEscape(out, static_cast<unsigned char>(c));
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    out += '"';
}

std::string JsonNumber(double value) {
    return ShortestNumber(value);
}
std::string JsonNumber(float value) {
    return ShortestNumber(value);
}

std::string JsonNumber(std::int64_t value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

JsonObject& JsonObject::Add(std::string_view key, std::string jsonValue) {
    m_members.emplace_back(std::string(key), std::move(jsonValue));
    return *this;
}

std::string JsonObject::Text() const {
    std::string out = "{";
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        if (i) out += ',';
        out += JsonString(m_members[i].first);
        out += ':';
        out += m_members[i].second;
    }
    out += '}';
    return out;
}

namespace {

// A cursor over one line of JSON; each step is false when the text does not fit.
class FlatReader {
public:
    explicit FlatReader(std::string_view text) : m_text(text) {}

    void Space() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t'))
            ++m_at;
    }
    bool Take(char c) {
        Space();
        if (m_at >= m_text.size() || m_text[m_at] != c) return false;
        ++m_at;
        return true;
    }
    bool AtEnd() {
        Space();
        return m_at == m_text.size();
    }
    bool String(std::string& out) {
        if (!Take('"')) return false;
        out.clear();
        while (m_at < m_text.size()) {
            const char c = m_text[m_at++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_text.size()) return false;
            const char e = m_text[m_at++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    if (m_at + 4 > m_text.size()) return false;
                    unsigned code = 0;
                    const auto r =
                        std::from_chars(m_text.data() + m_at, m_text.data() + m_at + 4, code, 16);
                    if (r.ptr != m_text.data() + m_at + 4) return false;
                    m_at += 4;
                    AppendUtf8(out, code);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }
    // A number, true, false or null, as written.
    bool Word(std::string& out) {
        Space();
        const std::size_t start = m_at;
        while (m_at < m_text.size() && m_text[m_at] != ',' && m_text[m_at] != '}' &&
               m_text[m_at] != ' ')
            ++m_at;
        out.assign(m_text.substr(start, m_at - start));
        if (out == "true" || out == "false" || out == "null") return true;
        double value = 0;
        const auto r = std::from_chars(out.data(), out.data() + out.size(), value);
        return !out.empty() && r.ec == std::errc() && r.ptr == out.data() + out.size();
    }
    bool Peek(char c) {
        Space();
        return m_at < m_text.size() && m_text[m_at] == c;
    }

private:
    static void AppendUtf8(std::string& out, unsigned code) {
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    std::string_view m_text;
    std::size_t m_at = 0;
};

}  // namespace

std::optional<std::vector<std::pair<std::string, std::string>>> ParseFlatJsonObject(
    std::string_view line) {
    FlatReader reader(line);
    std::vector<std::pair<std::string, std::string>> fields;
    if (!reader.Take('{')) return std::nullopt;
    if (reader.Take('}')) return reader.AtEnd() ? std::optional(fields) : std::nullopt;
    do {
        std::string key;
        std::string value;
        if (!reader.String(key) || !reader.Take(':')) return std::nullopt;
        const bool ok = reader.Peek('"') ? reader.String(value) : reader.Word(value);
        if (!ok) return std::nullopt;
        fields.emplace_back(std::move(key), std::move(value));
    } while (reader.Take(','));
    if (!reader.Take('}') || !reader.AtEnd()) return std::nullopt;
    return fields;
}

}  // namespace qtm
