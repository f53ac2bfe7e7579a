#include "service/ModelCatalog.h"

#include <gtest/gtest.h>

#include <string>

namespace qtm {
namespace {

struct GroupCase {
    const char* model;
    ModelGroup group;
};

class GroupOfModelTest : public ::testing::TestWithParam<GroupCase> {};

TEST_P(GroupOfModelTest, FindsTheGroupOfWholeNamesWhateverTheirCase) {
    EXPECT_EQ(GroupOfModel(GetParam().model), GetParam().group) << GetParam().model;
}

INSTANTIATE_TEST_SUITE_P(
    Names, GroupOfModelTest,
    ::testing::Values(
        GroupCase{"QTX-200P", ModelGroup::PPFD}, GroupCase{"qtx-220p", ModelGroup::PPFD},
        GroupCase{"QTX-230L", ModelGroup::Luminance}, GroupCase{"QTX-220L2", ModelGroup::Luminance},
        GroupCase{"QTX-210CIL", ModelGroup::CIL}, GroupCase{"qtx-200lm", ModelGroup::LuminousFlux},
        GroupCase{"QTX-220IR3", ModelGroup::Infrared}, GroupCase{"QTX-210B", ModelGroup::Blue},
        GroupCase{"QTX-200R", ModelGroup::Red}, GroupCase{"QTX-220PAR", ModelGroup::PAR},
        GroupCase{"qtx-210uva", ModelGroup::UV}, GroupCase{"QTX-200UVC", ModelGroup::UV},
        GroupCase{"QTX-210UV2", ModelGroup::UVx}, GroupCase{"QTX-220LP1", ModelGroup::LaserPower},
        // Not in any list: no prefix, suffix or substring matching.
        GroupCase{"QTX-200", ModelGroup::Illuminance},
        GroupCase{"QTX-200L3", ModelGroup::Illuminance},
        GroupCase{"QTX-200P ", ModelGroup::Illuminance},
        GroupCase{" QTX-200P", ModelGroup::Illuminance},
        GroupCase{"QTX-200PA", ModelGroup::Illuminance},
        GroupCase{"QTM-200", ModelGroup::Illuminance}, GroupCase{"", ModelGroup::Illuminance}));

TEST(ModelCatalogTest, TextsOfAModelFollowItsGroup) {
    struct Case {
        const char* model;
        std::string_view ModelTexts::*field;
        const char* text;
    };
    const Case cases[] = {
        {"qtx-210uva", &ModelTexts::groupCaption, "UV(ABC)"},
        {"qtx-210uva", &ModelTexts::listPower, "UV(uW/cm\u00b2)"},
        {"qtx-210uva", &ModelTexts::chartTitle, "UV(ABC) Wave"},
        {"qtx-210uva", &ModelTexts::powerUnit, "uW/cm2"},
        // UVx meters take the lux texts but the UV chart title.
        {"QTX-210UV2", &ModelTexts::groupCaption, "Lux"},
        {"QTX-210UV2", &ModelTexts::paramCaption, "Lux wave param set"},
        {"QTX-210UV2", &ModelTexts::powerUnit, "lx"},
        {"QTX-210UV2", &ModelTexts::energyUnit, "lx.s"},
        {"QTX-210UV2", &ModelTexts::listPower, "Lux(lx)"},
        {"QTX-210UV2", &ModelTexts::listEnergy, "Enegry(lx.s)"},
        {"QTX-210UV2", &ModelTexts::chartTitle, "UV(ABC) Wave"},
        {"QTX-220IR3", &ModelTexts::groupCaption, "IR"},
        {"QTX-220IR3", &ModelTexts::powerUnit, "uW/cm\u00b2"},
        {"QTX-220IR3", &ModelTexts::energyUnit, "mJ/cm\u00b2"},
        {"QTX-220IR3", &ModelTexts::listPower, "IR(uW/cm\u00b2)"},
        {"QTX-220IR3", &ModelTexts::listEnergy, "Enegry(mj/cm\u00b2)"},
        {"QTX-220IR3", &ModelTexts::chartTitle, "IR Wave"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " " + c.text);
        EXPECT_EQ(TextsOfModel(c.model).*c.field, c.text);
    }
    EXPECT_EQ(TextsOfModel("qtx-210uva").unitRow, UnitRow::Irradiance);
    EXPECT_EQ(TextsOfModel("QTX-210UV2").unitRow, UnitRow::Illuminance);
    EXPECT_EQ(TextsOfGroup(ModelGroup::Illuminance).chartTitle, "Lux Wave");
}

}  // namespace
}  // namespace qtm
