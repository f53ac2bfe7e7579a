// The four texts a meter holds (model, serial number, band, range): their names and field
// widths, and the checks a text typed by an operator passes before any byte of it is sent.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qtm {

enum class TextParameter { Model, SerialNumber, Band, Range };
inline constexpr std::array<TextParameter, 4> kTextParameters{
    TextParameter::Model, TextParameter::SerialNumber, TextParameter::Band, TextParameter::Range};

// "model", "sn", "band", "range": the backup's key, the CLI's word and the service log's name.
const char* TextParameterName(TextParameter which);
// "model", "serial number", "band", "range": how a message names it.
const char* TextParameterLabel(TextParameter which);
// The bytes its write request carries: 10 for model and serial number, 12 for band and range.
std::size_t TextFieldWidth(TextParameter which);
std::optional<TextParameter> TextParameterNamed(std::string_view name);

// What becomes of a text longer than its field: the window cuts it (at a character), the
// CLI refuses it.
enum class LongText { Cut, Refuse };

struct TextInput {
    std::optional<std::string> bytes;  // the meter's bytes (GBK), at most the field's width
    std::string error;                 // one sentence naming the field when refused
};
// Refuses a text that is empty or spaces alone, holds a control character (below U+0020 or
// U+007F), is not UTF-8, holds a character GBK cannot express, or (with LongText::Refuse)
// needs more bytes than its field.
TextInput PrepareMeterText(TextParameter which, std::string_view utf8, LongText longText);

}  // namespace qtm
