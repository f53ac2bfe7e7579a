#include "service/FitText.h"

#include <string_view>

#include "service/NumberText.h"

namespace qtm {

namespace {

// The number that starts at offset, read within the text only (the text has no ending zero).
double NumberAt(std::span<const std::uint8_t> text, std::size_t offset) {
    if (offset >= text.size()) return 0.0;
    const std::string_view rest(reinterpret_cast<const char*>(text.data()) + offset,
                                text.size() - offset);
    return LeadingNumber(rest);
}

}  // namespace

FitTextValues ParseFitText(std::span<const std::uint8_t> text) {
    FitTextValues out;
    std::size_t pair = 0;         // index of the pair the next values belong to
    std::size_t coefficient = 0;  // index of the next coefficient, c4 first
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t c = text[i];
        const bool colonNext = i + 1 < n && text[i + 1] == ':';
        if (c == 'T' && colonNext) {
            if (pair < kFitPairCount) out.pairs[pair].t = NarrowToFloat(NumberAt(text, i + 2));
        } else if (c == 'D' && colonNext) {
            if (pair < kFitPairCount) out.pairs[pair].ad = NarrowToFloat(NumberAt(text, i + 2));
            ++out.adCount;
            // Counting on past 50 would only matter for a text of billions of bytes; stop
            // the index where it can do no harm.
            if (pair < kFitPairCount) ++pair;
        } else if (c == '(') {
            if (coefficient < kFitCoefficientCount) {
                out.coefficients[coefficient] = NumberAt(text, i + 1);
                ++coefficient;
            }
        } else if (c == '+' && coefficient == kFitCoefficientCount - 1 && i + 1 < n &&
                   text[i + 1] == ' ') {
            out.coefficients[kFitCoefficientCount - 1] = NumberAt(text, i + 2);
            coefficient = kFitCoefficientCount;
        }
    }
    return out;
}

std::string FormatFitPairsText(const FitPairs& pairs) {
    std::string text;
    text.reserve(pairs.size() * 48);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const std::size_t number = i + 1;
        text += '<';
        text += static_cast<char>('0' + number / 10);
        text += static_cast<char>('0' + number % 10);
        text += "> T:";
        text += FormatFixed(pairs[i].t, 6);
        text += "\xA1\xE6;AD:";
        text += FormatFixed(pairs[i].ad, 6);
        text += "\r\n";
    }
    return text;
}

}  // namespace qtm
