// Readings, the command line's lines and the simulated meter's texts keep the decimal point
// when the user's locale writes a comma.
#include <gtest/gtest.h>

#include <string>

#include "GermanLocale.h"
#include "cli/CliCommands.h"
#include "service/ReadingFormat.h"
#include "sim/MeterState.h"
#include "sim/UsbCommands.h"

TEST(GermanNumbers, ReadingsLinesAndMeterTextsUseADecimalPoint) {
    GermanLocale german;
    ASSERT_GERMAN_LOCALE(german);

    struct Reading {
        qtm::ReadingKind kind;
        float value;
        const char* text;
    };
    const Reading readings[] = {
        {qtm::ReadingKind::Plain, 9999.5f, "9999.5"},     {qtm::ReadingKind::Plain, 5.5f, "5.5000"},
        {qtm::ReadingKind::Energy, 123456.78f, "123.46"}, {qtm::ReadingKind::Power, 25000.0f, "25"},
        {qtm::ReadingKind::Power, 12.25f, "12.250"},
    };
    for (const Reading& r : readings) {
        std::string text;
        std::string unit;
        qtm::FormatReading(text, r.kind, r.value, unit, "QTX-210");
        EXPECT_EQ(text, r.text) << r.value;
    }

    qtm::IdentityRead identity;
    identity.calValue = 2.5f;
    identity.k = 1.25f;
    const std::string lines = qtm::cli::FormatIdentityLines("QTX-210", identity);
    EXPECT_NE(lines.find("cal: 2.500\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("k: 1.250\n"), std::string::npos) << lines;

    qtmsim::MeterState state;
    state.calValue = 2.5f;
    state.k = 1.0f;
    const qtmsim::Bytes info = qtmsim::InfoBlock(state);
    const std::string infoText(info.begin(), info.end());
    EXPECT_NE(infoText.find(";Cal:2.500;K:1.000;"), std::string::npos) << infoText;

    state.fitPoints[0].temperature = 25.5f;
    state.coefficients = {0.5, 1.5, 0, 0, 0};
    const std::string fit = qtmsim::FitDataText(state);
    EXPECT_EQ(fit.find(','), std::string::npos) << fit;
    EXPECT_NE(fit.find("T:25.500000"), std::string::npos) << fit;
    EXPECT_NE(fit.find("x+ 0.5\r\n"), std::string::npos) << fit;
}
