#include "service/ModelCatalog.h"

#include <array>
#include <cstddef>

namespace qtm {
namespace {

struct ModelEntry {
    std::string_view name;
    ModelGroup group;
};

// Every named model; a name that is not here measures illuminance.
constexpr std::array kModels{
    ModelEntry{"QTX-200P", ModelGroup::PPFD},
    ModelEntry{"QTX-210P", ModelGroup::PPFD},
    ModelEntry{"QTX-220P", ModelGroup::PPFD},
    ModelEntry{"QTX-200L", ModelGroup::Luminance},
    ModelEntry{"QTX-210L", ModelGroup::Luminance},
    ModelEntry{"QTX-220L", ModelGroup::Luminance},
    ModelEntry{"QTX-200L1", ModelGroup::Luminance},
    ModelEntry{"QTX-210L1", ModelGroup::Luminance},
    ModelEntry{"QTX-220L1", ModelGroup::Luminance},
    ModelEntry{"QTX-200L2", ModelGroup::Luminance},
    ModelEntry{"QTX-210L2", ModelGroup::Luminance},
    ModelEntry{"QTX-220L2", ModelGroup::Luminance},
    ModelEntry{"QTX-230L", ModelGroup::Luminance},
    ModelEntry{"QTX-200CIL", ModelGroup::CIL},
    ModelEntry{"QTX-210CIL", ModelGroup::CIL},
    ModelEntry{"QTX-220CIL", ModelGroup::CIL},
    ModelEntry{"QTX-200LM", ModelGroup::LuminousFlux},
    ModelEntry{"QTX-210LM", ModelGroup::LuminousFlux},
    ModelEntry{"QTX-220LM", ModelGroup::LuminousFlux},
    ModelEntry{"QTX-200IR1", ModelGroup::Infrared},
    ModelEntry{"QTX-210IR1", ModelGroup::Infrared},
    ModelEntry{"QTX-220IR1", ModelGroup::Infrared},
    ModelEntry{"QTX-200IR2", ModelGroup::Infrared},
    ModelEntry{"QTX-210IR2", ModelGroup::Infrared},
    ModelEntry{"QTX-220IR2", ModelGroup::Infrared},
    ModelEntry{"QTX-200IR3", ModelGroup::Infrared},
    ModelEntry{"QTX-210IR3", ModelGroup::Infrared},
    ModelEntry{"QTX-220IR3", ModelGroup::Infrared},
    ModelEntry{"QTX-200B", ModelGroup::Blue},
    ModelEntry{"QTX-210B", ModelGroup::Blue},
    ModelEntry{"QTX-220B", ModelGroup::Blue},
    ModelEntry{"QTX-200R", ModelGroup::Red},
    ModelEntry{"QTX-210R", ModelGroup::Red},
    ModelEntry{"QTX-220R", ModelGroup::Red},
    ModelEntry{"QTX-200PAR", ModelGroup::PAR},
    ModelEntry{"QTX-210PAR", ModelGroup::PAR},
    ModelEntry{"QTX-220PAR", ModelGroup::PAR},
    ModelEntry{"QTX-200UVA", ModelGroup::UV},
    ModelEntry{"QTX-210UVA", ModelGroup::UV},
    ModelEntry{"QTX-220UVA", ModelGroup::UV},
    ModelEntry{"QTX-200UVB", ModelGroup::UV},
    ModelEntry{"QTX-210UVB", ModelGroup::UV},
    ModelEntry{"QTX-220UVB", ModelGroup::UV},
    ModelEntry{"QTX-200UVC", ModelGroup::UV},
    ModelEntry{"QTX-210UVC", ModelGroup::UV},
    ModelEntry{"QTX-220UVC", ModelGroup::UV},
    ModelEntry{"QTX-200UV0", ModelGroup::UVx},
    ModelEntry{"QTX-210UV0", ModelGroup::UVx},
    ModelEntry{"QTX-220UV0", ModelGroup::UVx},
    ModelEntry{"QTX-200UV1", ModelGroup::UVx},
    ModelEntry{"QTX-210UV1", ModelGroup::UVx},
    ModelEntry{"QTX-220UV1", ModelGroup::UVx},
    ModelEntry{"QTX-200UV2", ModelGroup::UVx},
    ModelEntry{"QTX-210UV2", ModelGroup::UVx},
    ModelEntry{"QTX-220UV2", ModelGroup::UVx},
    ModelEntry{"QTX-200UV3", ModelGroup::UVx},
    ModelEntry{"QTX-210UV3", ModelGroup::UVx},
    ModelEntry{"QTX-220UV3", ModelGroup::UVx},
    ModelEntry{"QTX-200LP", ModelGroup::LaserPower},
    ModelEntry{"QTX-210LP", ModelGroup::LaserPower},
    ModelEntry{"QTX-220LP", ModelGroup::LaserPower},
    ModelEntry{"QTX-200LP1", ModelGroup::LaserPower},
    ModelEntry{"QTX-210LP1", ModelGroup::LaserPower},
    ModelEntry{"QTX-220LP1", ModelGroup::LaserPower},
};

// Indexed by ModelGroup. The odd spellings ("Enegry", "mj") are what the meters'
// users know from the window and from exported files, so they stay.
constexpr std::array kGroupTexts{
    ModelTexts{"PPFD", "PPFD wave param set", "umol/cm2/s", "mJ/cm2", "PPFD(umol/cm\u00b2/s)",
               "Enegry(mj/cm\u00b2)", "PPFD Wave", UnitRow::PPFD},
    ModelTexts{"L", "L wave param set", "cd/m2", "cd/m2.s", "L(cd/m\u00b2)", "Enegry(cd/m2.s)",
               "L Wave", UnitRow::Luminance},
    ModelTexts{"CIL", "CIL wave param set", "mcd/lx", "mcd/lx.s", "CIL(mcd/lx)", "Enegry(mcd/lx.s)",
               "CIL Wave", UnitRow::CIL},
    ModelTexts{"\u03a6", "\u03a6 wave param set", "lm", "lm.s", "\u03a6(lm)", "Enegry(lm.s)",
               "LM Wave", UnitRow::LuminousFlux},
    ModelTexts{"IR", "IR wave param set", "uW/cm\u00b2", "mJ/cm\u00b2", "IR(uW/cm\u00b2)",
               "Enegry(mj/cm\u00b2)", "IR Wave", UnitRow::Irradiance},
    ModelTexts{"B", "B wave param set", "uW/cm\u00b2", "mJ/cm\u00b2", "B(uW/cm\u00b2)",
               "Enegry(mj/cm\u00b2)", "B Wave", UnitRow::Irradiance},
    ModelTexts{"R", "R wave param set", "uW/cm\u00b2", "mJ/cm\u00b2", "R(uW/cm\u00b2)",
               "Enegry(mj/cm\u00b2)", "R Wave", UnitRow::Irradiance},
    ModelTexts{"PAR", "PAR wave param set", "uW/cm\u00b2", "mJ/cm\u00b2", "PAR(uW/cm\u00b2)",
               "Enegry(mj/cm\u00b2)", "PAR Wave", UnitRow::Illuminance},
    ModelTexts{"UV(ABC)", "UV(ABC) wave param set", "uW/cm2", "mJ/cm2", "UV(uW/cm\u00b2)",
               "Enegry(mj/cm\u00b2)", "UV(ABC) Wave", UnitRow::Irradiance},
    ModelTexts{"Lux", "Lux wave param set", "lx", "lx.s", "Lux(lx)", "Enegry(lx.s)", "UV(ABC) Wave",
               UnitRow::Illuminance},
    ModelTexts{"LP", "LP wave param set", "uW", "mJ", "LP(uW)", "Enegry(mj)", "LP Wave",
               UnitRow::LaserPower},
    ModelTexts{"Lux", "Lux wave param set", "lx", "lx.s", "Lux(lx)", "Enegry(lx.s)", "Lux Wave",
               UnitRow::Illuminance},
};
static_assert(kGroupTexts.size() == static_cast<std::size_t>(ModelGroup::Illuminance) + 1);

// Only ASCII letters fold: the listed names are ASCII, and folding other bytes of a
// UTF-8 name could make a non-listed name match.
char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

bool IsListedModel(std::string_view model) {
    for (const ModelEntry& entry : kModels) {
        if (EqualIgnoringCase(entry.name, model)) return true;
    }
    return false;
}

ModelGroup GroupOfModel(std::string_view model) {
    for (const ModelEntry& entry : kModels) {
        if (EqualIgnoringCase(entry.name, model)) return entry.group;
    }
    return ModelGroup::Illuminance;
}

const ModelTexts& TextsOfGroup(ModelGroup group) {
    const auto index = static_cast<std::size_t>(group);
    return index < kGroupTexts.size() ? kGroupTexts[index] : kGroupTexts.back();
}

}  // namespace qtm
