// The model catalogue: which group a meter model belongs to, and every caption,
// unit label, list header and chart title the window shows for that group.
#pragma once

#include <string>
#include <string_view>

namespace qtm {

enum class ModelGroup {
    PPFD,
    Luminance,
    CIL,
    LuminousFlux,
    Infrared,
    Blue,
    Red,
    PAR,
    UV,
    UVx,
    LaserPower,
    Illuminance,
};

// The row of unit texts that scaled readings use; several groups share one.
enum class UnitRow {
    PPFD,
    Luminance,
    CIL,
    LuminousFlux,
    Irradiance,
    LaserPower,
    Illuminance,
};

// The texts a group shows, UTF-8.
struct ModelTexts {
    std::string_view groupCaption;  // measurement group box
    std::string_view paramCaption;  // parameter group box
    std::string_view powerUnit;     // power unit label as set at identification
    std::string_view energyUnit;    // energy unit label as set at identification
    std::string_view listPower;     // reading list, column 1 header
    std::string_view listEnergy;    // reading list, column 2 header
    std::string_view chartTitle;    // live chart title
    UnitRow unitRow;                // unit row for scaled readings
};

// The group of a model name: whole names compared without regard to ASCII letter
// case. Every name in no list (the empty name included) is Illuminance.
ModelGroup GroupOfModel(std::string_view model);

// Whether the catalogue names this model (without regard to letter case).
bool IsListedModel(std::string_view model);

const ModelTexts& TextsOfGroup(ModelGroup group);

inline const ModelTexts& TextsOfModel(std::string_view model) {
    return TextsOfGroup(GroupOfModel(model));
}

// The model name the window uses before any meter has been identified.
inline constexpr std::string_view kDefaultModel = "QTM-200";

}  // namespace qtm
