// The few pieces of JSON our files are made of: quoted strings, numbers that read back
// exactly, and objects kept in the order their keys were added. One JSON object per line
// lets `jq` and log shippers read the files; the service log and the reading object use it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qtm {

// text (UTF-8) as a JSON string with its quotes; control characters and bytes that are not
// UTF-8 are escaped, so a meter's odd bytes cannot break the line.
std::string JsonString(std::string_view text);
// The same appended to out, for writers that reuse one buffer per line.
void AppendJsonString(std::string& out, std::string_view text);
// The shortest text that reads back to value, with a decimal point whatever the locale;
// null when value is not finite (JSON has no infinity).
std::string JsonNumber(double value);
std::string JsonNumber(float value);
std::string JsonNumber(std::int64_t value);
inline std::string JsonNumber(int value) {
    return JsonNumber(std::int64_t{value});
}

// A value that may not have been read, as a JSON number; nothing when it was not.
template <typename T>
std::optional<std::string> JsonNumberOf(const std::optional<T>& value) {
    if (!value) return std::nullopt;
    return JsonNumber(*value);
}

// An object built key by key; values are JSON texts made by the functions above.
class JsonObject {
public:
    JsonObject& Add(std::string_view key, std::string jsonValue);
    JsonObject& AddString(std::string_view key, std::string_view text) {
        return Add(key, JsonString(text));
    }
    // "{...}" on one line.
    std::string Text() const;

private:
    std::vector<std::pair<std::string, std::string>> m_members;
};

// A one-line object whose values are strings, numbers, true, false or null, taken apart
// into its keys and values (strings unescaped, the rest as written). Nothing when line is
// not such an object; nested objects and arrays are not taken.
std::optional<std::vector<std::pair<std::string, std::string>>> ParseFlatJsonObject(
    std::string_view line);

}  // namespace qtm
