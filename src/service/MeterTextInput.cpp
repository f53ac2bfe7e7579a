#include "service/MeterTextInput.h"

#include <cstdio>

#include "device/MeterText.h"

namespace qtm {

namespace {

struct Field {
    TextParameter which;
    const char* name;
    const char* label;
    std::size_t width;
};

constexpr Field kFields[] = {
    {TextParameter::Model, "model", "model", 10},
    {TextParameter::SerialNumber, "sn", "serial number", 10},
    {TextParameter::Band, "band", "band", 12},
    {TextParameter::Range, "range", "range", 12},
};

const Field& FieldOf(TextParameter which) {
    for (const Field& f : kFields) {
        if (f.which == which) return f;
    }
    return kFields[0];
}

std::string CodePoint(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", value);
    return text;
}

// The code point of one well-formed UTF-8 character.
unsigned CodePointOf(std::string_view character) {
    const auto lead = static_cast<unsigned char>(character[0]);
    if (character.size() == 1) return lead;
    unsigned value = lead & (0x7Fu >> character.size());
    for (std::size_t i = 1; i < character.size(); ++i)
        value = (value << 6) | (static_cast<unsigned char>(character[i]) & 0x3Fu);
    return value;
}

TextInput Refuse(std::string error) {
    TextInput out;
    out.error = std::move(error);
    return out;
}

}  // namespace

const char* TextParameterName(TextParameter which) {
    return FieldOf(which).name;
}

const char* TextParameterLabel(TextParameter which) {
    return FieldOf(which).label;
}

std::size_t TextFieldWidth(TextParameter which) {
    return FieldOf(which).width;
}

std::optional<TextParameter> TextParameterNamed(std::string_view name) {
    for (const Field& f : kFields) {
        if (name == f.name) return f.which;
    }
    return std::nullopt;
}

TextInput PrepareMeterText(TextParameter which, std::string_view utf8, LongText longText) {
    const Field& field = FieldOf(which);
    const std::string the = std::string("The ") + field.label;
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        // A control character would end the meter's text early (a zero byte) or show as
        // garbage on its display; none belongs in a name or a number.
        if (byte < 0x20 || byte == 0x7F)
            return Refuse(the + " holds the control character " + CodePoint(byte) +
                          ", which the meter cannot store.");
    }
    const MeterTextEncoding encoded = EncodeMeterText(utf8);
    if (encoded.notUtf8) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "0x%02X",
                      static_cast<unsigned>(static_cast<unsigned char>(encoded.character[0])));
        return Refuse(the + " is not UTF-8 text (it holds the byte " + hex + ").");
    }
    if (!encoded.bytes)
        return Refuse(the + " holds the character \"" + encoded.character + "\" (" +
                      CodePoint(CodePointOf(encoded.character)) +
                      "), which the meter's code page (GBK) cannot express.");
    std::string bytes = *encoded.bytes;
    if (bytes.size() > field.width) {
        if (longText == LongText::Refuse)
            return Refuse(the + " takes at most " + std::to_string(field.width) +
                          " bytes in the meter's code page (GBK), and this one needs " +
                          std::to_string(bytes.size()) + ".");
        bytes = std::string(CutMeterText(bytes, field.width));
    }
    // The meter pads its fields with spaces: spaces alone would read back as no text.
    if (bytes.find_first_not_of(' ') == std::string::npos)
        return Refuse(the + " cannot be empty or spaces alone.");
    TextInput out;
    out.bytes = std::move(bytes);
    return out;
}

}  // namespace qtm
