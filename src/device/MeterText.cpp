#include "device/MeterText.h"

#ifdef _WIN32
#include <windows.h>

#include "device/platform/WinWideText.h"
#else
#include <iconv.h>
#endif

#include <algorithm>
#include <cerrno>

namespace qtm {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at text[i] (no overlong forms, no
// surrogates, nothing past U+10FFFF); 0 when there is none.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
    const std::uint8_t lead = at(i);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const std::uint8_t b = at(i + k);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return 0;
    }
    return length;
}

#ifdef _WIN32

bool IsGbkLead(std::uint8_t b) {
    return b >= 0x81 && b <= 0xFE;
}

bool IsGbkTrail(std::uint8_t b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// Windows' own GBK table, code page 936.
constexpr UINT kGbkCodePage = 936;

// GBK bytes as UTF-8; a byte that starts no GBK character becomes one replacement and the
// text goes on after it.
std::string DecodeGbk(const std::uint8_t* data, std::size_t n) {
    std::string out;
    for (std::size_t i = 0; i < n;) {
        if (data[i] < 0x80) {
            out += static_cast<char>(data[i++]);
            continue;
        }
        // 0x80 alone is the euro sign; the other bytes above ASCII open a pair.
        const int size = data[i] == 0x80                                              ? 1
                         : i + 1 < n && IsGbkLead(data[i]) && IsGbkTrail(data[i + 1]) ? 2
                                                                                      : 0;
        wchar_t wide[2];
        const int length = size == 0 ? 0
                                     : ::MultiByteToWideChar(
                                           kGbkCodePage, MB_ERR_INVALID_CHARS,
                                           reinterpret_cast<const char*>(data + i), size, wide, 2);
        if (length <= 0) {
            out += kReplacement;
            ++i;
            continue;
        }
        out += Utf8FromWide(std::wstring_view(wide, static_cast<std::size_t>(length)));
        i += static_cast<std::size_t>(size);
    }
    return out;
}

// One UTF-8 character as GBK bytes; nothing when GBK has no bytes for it.
std::optional<std::string> EncodeGbkCharacter(std::string_view character) {
    std::wstring wide;
    if (!WideFromUtf8(character, &wide) || wide.empty() || wide.size() > 4) return std::nullopt;
    char bytes[16];
    BOOL usedDefault = FALSE;
    // No best fit: a character GBK lacks must not be sent as a look-alike.
    const int size = ::WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(),
                                           static_cast<int>(wide.size()), bytes, sizeof bytes,
                                           nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return std::nullopt;
    return std::string(bytes, static_cast<std::size_t>(size));
}

#else

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(::iconv_open(to, from)) {}
    ~Converter() {
        if (Ok()) ::iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// One character through the converter; nothing when GBK has no bytes for it.
std::optional<std::string> Convert(const Converter& converter, std::string_view character) {
    char* in = const_cast<char*>(character.data());
    std::size_t inLeft = character.size();
    char buffer[16];
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    ::iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    if (::iconv(converter.Get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
        inLeft != 0)
        return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(out - buffer));
}

// GBK bytes as UTF-8; an invalid or cut-off sequence becomes one replacement and the text
// goes on after its first byte.
std::string DecodeGbk(const std::uint8_t* data, std::size_t n) {
    Converter converter("UTF-8", "GBK");
    std::string out;
    if (!converter.Ok()) {
        // No GBK tables installed: keep ASCII, mark everything else as unreadable.
        for (std::size_t i = 0; i < n; ++i) {
            if (data[i] < 0x80)
                out += static_cast<char>(data[i]);
            else
                out += kReplacement;
        }
        return out;
    }
    char* in = const_cast<char*>(reinterpret_cast<const char*>(data));
    std::size_t inLeft = n;
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = ::iconv(converter.Get(), &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // An invalid or cut-off sequence: show one replacement and go on after its first byte.
        out += kReplacement;
        ++in;
        --inLeft;
        ::iconv(converter.Get(), nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::optional<std::string> EncodeGbkCharacter(std::string_view character) {
    // Opened for each character, and only for those beyond ASCII: most texts are plain.
    const Converter converter("GBK", "UTF-8");
    if (!converter.Ok()) return std::nullopt;
    return Convert(converter, character);
}

#endif

}  // namespace

std::string DecodeMeterText(const std::uint8_t* data, std::size_t length) {
    std::size_t n = 0;
    bool ascii = true;
    while (n < length && data[n] != 0) {
        if (data[n] >= 0x80) ascii = false;
        ++n;
    }
    if (ascii) return std::string(reinterpret_cast<const char*>(data), n);
    return DecodeGbk(data, n);
}

MeterTextEncoding EncodeMeterText(std::string_view utf8) {
    MeterTextEncoding result;
    std::string bytes;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length = Utf8Length(utf8, i);
        if (length == 0) {
            result.notUtf8 = true;
            result.character = std::string(utf8.substr(i, 1));
            return result;
        }
        const std::string_view character = utf8.substr(i, length);
        i += length;
        if (length == 1) {
            bytes += character;
            continue;
        }
        const std::optional<std::string> gbk = EncodeGbkCharacter(character);
        // Only a character that reads back as itself is sent: the meter's bytes must show
        // the operator's text again when they are read.
        if (!gbk || gbk->empty() || DecodeMeterText(*gbk) != character) {
            result.character = std::string(character);
            return result;
        }
        bytes += *gbk;
    }
    result.bytes = std::move(bytes);
    return result;
}

std::string_view CutMeterText(std::string_view bytes, std::size_t width) {
    if (bytes.size() <= width) return bytes;
    std::size_t end = 0;
    while (end < bytes.size()) {
        const auto lead = static_cast<std::uint8_t>(bytes[end]);
        // 0x81 to 0xFE open a two-byte GBK character; every other byte stands alone.
        const std::size_t length = lead >= 0x81 && lead <= 0xFE ? 2 : 1;
        if (end + length > width) break;
        end += length;
    }
    return bytes.substr(0, end);
}

std::string TrimMeterField(const std::uint8_t* data, std::size_t length) {
    std::size_t end = 0;
    while (end < length && data[end] != 0)
        ++end;
    while (end > 0 && data[end - 1] == ' ')
        --end;
    return std::string(reinterpret_cast<const char*>(data), end);
}

}  // namespace qtm
