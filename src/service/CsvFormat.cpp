#include "service/CsvFormat.h"

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace qtm {
namespace {

__extension__ typedef unsigned __int128 Wide;

constexpr std::uint64_t kMicro = 1000000;

// Two digits at a time: the decimal digits of 0..99.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

template <typename Char>
Char* WriteUnsigned(Char* out, std::uint64_t value) {
    char digits[20];
    char* p = digits + sizeof digits;
    while (value >= 100) {
        const auto pair = static_cast<unsigned>(value % 100) * 2;
        value /= 100;
        *--p = kDigitPairs[pair + 1];
        *--p = kDigitPairs[pair];
    }
    if (value >= 10) {
        const auto pair = static_cast<unsigned>(value) * 2;
        *--p = kDigitPairs[pair + 1];
        *--p = kDigitPairs[pair];
    } else {
        *--p = static_cast<char>('0' + value);
    }
    while (p < digits + sizeof digits)
        *out++ = static_cast<Char>(*p++);
    return out;
}

// Six digits with leading zeros.
template <typename Char>
Char* WriteMicros(Char* out, std::uint32_t value) {
    for (int i = 4; i >= 0; i -= 2) {
        const auto pair = (value % 100) * 2;
        value /= 100;
        out[i] = static_cast<Char>(kDigitPairs[pair]);
        out[i + 1] = static_cast<Char>(kDigitPairs[pair + 1]);
    }
    return out + 6;
}

// The exact "%.6f" of a double: its value is m * 2^e, so value * 10^6 = m * 10^6 * 2^e is
// computed in integers and rounded half to even, as printf rounds. Values whose scaled
// magnitude passes 2^64, and infinities and NaN, go to the library's formatter.
template <typename Char>
Char* WriteFixed6(Char* out, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);

    std::uint64_t scaled = 0;  // value * 10^6, rounded
    bool fast = biased != 0x7FF;
    if (fast) {
        const std::uint64_t mantissa =
            biased == 0 ? fraction : (fraction | (std::uint64_t{1} << 52));
        const int exponent = (biased == 0 ? 1 : biased) - 1075;
        const Wide product = static_cast<Wide>(mantissa) * kMicro;
        Wide q = 0;
        if (exponent >= 0) {
            // A whole number: fine while it keeps within 64 bits once scaled.
            if (exponent > 40 || ((product << exponent) >> 64) != 0) {
                fast = false;
            } else {
                q = product << exponent;
            }
        } else {
            const int shift = -exponent;
            if (shift < 128) {
                q = product >> shift;
                const Wide rest = product - (q << shift);
                const Wide half = Wide{1} << (shift - 1);
                if (rest > half || (rest == half && (q & 1) != 0)) ++q;
            }
            if ((q >> 64) != 0) fast = false;
        }
        scaled = static_cast<std::uint64_t>(q);
    }
    if (!fast) {
        char text[400];
        const auto result =
            std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
        for (const char* p = text; p < result.ptr; ++p)
            *out++ = static_cast<Char>(*p);
        return out;
    }
    if (negative) *out++ = static_cast<Char>('-');
    out = WriteUnsigned(out, scaled / kMicro);
    *out++ = static_cast<Char>('.');
    return WriteMicros(out, static_cast<std::uint32_t>(scaled % kMicro));
}

template <typename Char>
Char* WriteInt(Char* out, std::int32_t value) {
    std::uint64_t magnitude = static_cast<std::uint64_t>(value);
    if (value < 0) {
        *out++ = static_cast<Char>('-');
        magnitude = static_cast<std::uint64_t>(-static_cast<std::int64_t>(value));
    }
    return WriteUnsigned(out, magnitude);
}

}  // namespace

std::u16string_view CsvHeader(ModelGroup group) {
    switch (group) {
        case ModelGroup::PPFD:
            return u"iNo.,PPFD(umol/cm\u00B2/s),Enegry(mj/cm\u00B2),Time(s)";
        case ModelGroup::Luminance:
            return u"iNo.,L(cd/m\u00B2),Enegry(cd/m2.s),Time(s)";
        case ModelGroup::CIL:
            return u"iNo.,CIL(lm),Enegry(mcd/lx.s),Time(s)";
        case ModelGroup::LuminousFlux:
            return u"iNo.,\u03A6(lm),Enegry(lm.s),Time(s)";
        case ModelGroup::Infrared:
            return u"iNo.,IR(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)";
        case ModelGroup::Blue:
            return u"iNo.,B(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)";
        case ModelGroup::Red:
            return u"iNo.,R(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)";
        case ModelGroup::UV:
            return u"iNo.,UV(uW/cm\u00B2),Enegry(mj/cm\u00B2),Time(s)";
        case ModelGroup::LaserPower:
            return u"iNo.,LP(uW),Enegry(mj),Time(s)";
        case ModelGroup::PAR:
        case ModelGroup::UVx:
        case ModelGroup::Illuminance:
            break;
    }
    return u"iNo.,Lux(lx),Enegry(lx.s),Time(s)";
}

char* FormatFixed6(char* out, double value) {
    return WriteFixed6(out, value);
}

char16_t* AppendCsvLine(char16_t* out, const MeasurementRecord& record) {
    out = WriteInt(out, record.number);
    *out++ = u',';
    out = WriteFixed6(out, static_cast<double>(record.power));
    *out++ = u',';
    out = WriteFixed6(out, record.energy);
    *out++ = u',';
    out = WriteFixed6(out, static_cast<double>(record.seconds));
    *out++ = u'\r';
    *out++ = u'\n';
    return out;
}

std::u16string CsvText(std::u16string_view header, std::span<const MeasurementRecord> records) {
    std::u16string text;
    text.reserve(2 + header.size() + records.size() * 48);
    text += kByteOrderMark;
    text += header;
    text += kCsvLineEnd;
    char16_t line[kMaxCsvLineUnits];
    for (const MeasurementRecord& record : records)
        text.append(line, AppendCsvLine(line, record));
    return text;
}

std::string Utf16LeBytes(std::u16string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

}  // namespace qtm
