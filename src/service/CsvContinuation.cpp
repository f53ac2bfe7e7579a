#include "service/CsvContinuation.h"

#include <cerrno>
#include <fstream>
#include <iterator>

#include "service/CsvFormat.h"
#include "service/CsvLog.h"

namespace qtm {
namespace {

constexpr ModelGroup kGroups[] = {
    ModelGroup::PPFD,     ModelGroup::Luminance, ModelGroup::CIL,        ModelGroup::LuminousFlux,
    ModelGroup::Infrared, ModelGroup::Blue,      ModelGroup::Red,        ModelGroup::PAR,
    ModelGroup::UV,       ModelGroup::UVx,       ModelGroup::LaserPower, ModelGroup::Illuminance,
};

char16_t UnitAt(std::string_view bytes, std::size_t i) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                 (static_cast<unsigned char>(bytes[i + 1]) << 8));
}

// The byte length up to the end of the last CR LF, or 0 when there is none.
std::size_t WholeLinesEnd(std::string_view bytes) {
    for (std::size_t at = bytes.size() & ~std::size_t{1}; at >= 4; at -= 2) {
        if (UnitAt(bytes, at - 4) == u'\r' && UnitAt(bytes, at - 2) == u'\n') return at;
    }
    return 0;
}

}  // namespace

bool IsKnownCsvHeader(std::u16string_view header) {
    for (const ModelGroup group : kGroups)
        if (CsvHeader(group) == header) return true;
    return false;
}

ContinuePlan JudgeContinuation(std::string_view bytes, std::u16string_view header) {
    ContinuePlan plan;
    if (bytes.empty()) {
        plan.verdict = ContinueVerdict::Empty;
        return plan;
    }
    if (bytes.size() < 2 || UnitAt(bytes, 0) != kByteOrderMark) return plan;
    plan.wholeBytes = WholeLinesEnd(bytes);
    if (plan.wholeBytes == 0) return plan;  // not even a whole header line
    const CsvContents contents = ParseCsv(bytes.substr(0, plan.wholeBytes));
    if (contents.badLines != 0 || !IsKnownCsvHeader(contents.header)) return plan;
    plan.header = contents.header;
    if (!contents.records.empty()) plan.lastNumber = contents.records.back().number;
    plan.verdict =
        contents.header == header ? ContinueVerdict::Continue : ContinueVerdict::OtherHeader;
    return plan;
}

std::optional<ContinuePlan> PlanContinuation(const std::filesystem::path& path,
                                             std::u16string_view header, FileResult* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = FileErrorOf(errno != 0 ? errno : EIO, path);
        return std::nullopt;
    }
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        if (error) *error = FileErrorOf(EIO, path);
        return std::nullopt;
    }
    return JudgeContinuation(bytes, header);
}

}  // namespace qtm
