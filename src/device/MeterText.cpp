#include "device/MeterText.h"

#include <iconv.h>

#include <cerrno>

namespace qtm {

namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

class Converter {
public:
    Converter() : m_cd(::iconv_open("UTF-8", "GBK")) {}
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

}  // namespace

std::string DecodeMeterText(const std::uint8_t* data, std::size_t length) {
    std::size_t n = 0;
    bool ascii = true;
    while (n < length && data[n] != 0) {
        if (data[n] >= 0x80) ascii = false;
        ++n;
    }
    if (ascii) return std::string(reinterpret_cast<const char*>(data), n);

    Converter converter;
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

}  // namespace qtm
