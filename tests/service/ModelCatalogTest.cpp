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

TEST(ModelCatalogTest, UvMeterInLowerCaseGetsTheUvTexts) {
    const ModelTexts& texts = TextsOfModel("qtx-210uva");
    EXPECT_EQ(texts.groupCaption, "UV(ABC)");
    EXPECT_EQ(texts.listPower, "UV(uW/cm\u00b2)");
    EXPECT_EQ(texts.chartTitle, "UV(ABC) Wave");
    EXPECT_EQ(texts.powerUnit, "uW/cm2");
    EXPECT_EQ(texts.unitRow, UnitRow::Irradiance);
}

TEST(ModelCatalogTest, UvxTakesLuxTextsButTheUvChartTitle) {
    const ModelTexts& uvx = TextsOfModel("QTX-210UV2");
    const ModelTexts& lux = TextsOfGroup(ModelGroup::Illuminance);
    EXPECT_EQ(uvx.groupCaption, "Lux");
    EXPECT_EQ(uvx.paramCaption, "Lux wave param set");
    EXPECT_EQ(uvx.powerUnit, "lx");
    EXPECT_EQ(uvx.energyUnit, "lx.s");
    EXPECT_EQ(uvx.listPower, "Lux(lx)");
    EXPECT_EQ(uvx.listEnergy, "Enegry(lx.s)");
    EXPECT_EQ(uvx.chartTitle, "UV(ABC) Wave");
    EXPECT_EQ(lux.chartTitle, "Lux Wave");
    EXPECT_EQ(uvx.unitRow, UnitRow::Illuminance);
}

TEST(ModelCatalogTest, InfraredTextsCarryTheSuperscriptTwo) {
    const ModelTexts& texts = TextsOfModel("QTX-220IR3");
    EXPECT_EQ(texts.groupCaption, "IR");
    EXPECT_EQ(texts.powerUnit, "uW/cm\u00b2");
    EXPECT_EQ(texts.energyUnit, "mJ/cm\u00b2");
    EXPECT_EQ(texts.listPower, "IR(uW/cm\u00b2)");
    EXPECT_EQ(texts.listEnergy, "Enegry(mj/cm\u00b2)");
    EXPECT_EQ(texts.chartTitle, "IR Wave");
}

}  // namespace
}  // namespace qtm
