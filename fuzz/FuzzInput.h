// Reading a fuzzer's bytes in pieces, and the checks every target states and enforces.
// Small on purpose: a target is one .cpp that includes this file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace qtm::fuzz {

// A failed promise is a crash the fuzzer keeps, with the input that caused it.
#define QTM_FUZZ_CHECK(cond)                                                              \
    do {                                                                                  \
        if (!(cond)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

// The input read front to back. Past the end every read gives zeros or nothing, so a
// target never has to test how much is left before it asks.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool Empty() const { return m_pos >= m_size; }
    std::size_t Remaining() const { return m_size - m_pos; }

    std::uint8_t Byte() { return Empty() ? 0 : m_data[m_pos++]; }
    std::uint16_t Word() {
        const std::uint16_t low = Byte();
        return static_cast<std::uint16_t>(low | (Byte() << 8));
    }
    // Up to n bytes, fewer at the end of the input.
    std::vector<std::uint8_t> Bytes(std::size_t n) {
        if (n > Remaining()) n = Remaining();
        std::vector<std::uint8_t> out(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return out;
    }
    // A piece whose length comes first, in one byte.
    std::vector<std::uint8_t> ShortPiece() { return Bytes(Byte()); }
    // A piece whose length comes first, in two bytes (little-endian).
    std::vector<std::uint8_t> LongPiece() { return Bytes(Word()); }
    std::string Text(std::size_t n) {
        const std::vector<std::uint8_t> b = Bytes(n);
        return std::string(b.begin(), b.end());
    }
    std::string ShortText() { return Text(Byte()); }
    // Everything not read yet.
    std::vector<std::uint8_t> Rest() { return Bytes(Remaining()); }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

// True when text is well-formed UTF-8 (no stray continuation bytes, no overlong or
// surrogate forms, nothing past U+10FFFF). Texts from the meter reach the window and
// the terminal only as UTF-8, so a decoder must never let anything else through.
inline bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t extra = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size()) return false;  // cut short
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += extra + 1;
    }
    return true;
}

// A meter text is well-formed UTF-8 of at most 3 bytes per byte of its field.
inline void CheckMeterText(std::string_view text, std::size_t fieldBytes) {
    QTM_FUZZ_CHECK(IsUtf8(text));
    QTM_FUZZ_CHECK(text.size() <= 3 * fieldBytes);
}

}  // namespace qtm::fuzz
