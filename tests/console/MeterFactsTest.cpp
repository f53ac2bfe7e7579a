#include "console/MeterFacts.h"

#include <gtest/gtest.h>

namespace {

// A meter found on USB with cal 2.5 and K 1 read whole; the band's reply came broken.
MeterFacts Found() {
    MeterFacts facts;
    facts.NewMeter("/dev/ttyUSB0", qtm::CommMode::Usb);
    facts.TakeModel("QTX-210P");
    qtm::IdentityRead read;
    read.serialNumber = "24050017  ";
    read.band = "";
    read.broken = {"band"};
    read.calValue = 2.5f;
    read.k = 1.0f;
    facts.TakeIdentity(read);
    return facts;
}

TEST(MeterFactsTest, AFileDescribesTheMeterAsItWasWhenTheReadingsWereTaken) {
    const struct {
        const char* what;
        void (*after)(MeterFacts&);  // what happens after the last reading
        std::optional<float> cal;
        std::optional<std::int32_t> saveGap;
    } cases[] = {
        {"nothing", [](MeterFacts&) {}, 2.5f, std::nullopt},
        // Learned later, nothing changed: it held for the readings too.
        {"save interval read",
         [](MeterFacts& f) {
             qtm::IdentityRead read;
             read.saveGap = 5;
             f.TakeIdentity(read);
         },
         2.5f, 5},
        {"cal written", [](MeterFacts& f) { f.Written("cal"); }, 2.5f, std::nullopt},
        {"cal read back different", [](MeterFacts& f) { f.TakeBusSettings(3.0f, 1.0f, 1.0f); },
         2.5f, std::nullopt},
        {"zero calibrated", [](MeterFacts& f) { f.Written("zerocal"); }, 2.5f, std::nullopt},
        {"another meter", [](MeterFacts& f) { f.NewMeter("/dev/ttyUSB1", qtm::CommMode::Usb); },
         2.5f, std::nullopt},
    };
    for (const auto& c : cases) {
        MeterFacts facts = Found();
        facts.ReadingTaken();
        c.after(facts);
        const MeterFacts::Known& known = facts.ForReadings();
        EXPECT_EQ(known.cal, c.cal) << c.what;
        EXPECT_EQ(known.saveGap, c.saveGap) << c.what;
        EXPECT_EQ(known.port, "/dev/ttyUSB0") << c.what;
        EXPECT_EQ(known.serial, "24050017") << c.what;
        // Without readings a file says what is known now.
        facts.ReadingsCleared();
        EXPECT_EQ(&facts.ForReadings(), &facts.Now()) << c.what;
    }
}

TEST(MeterFactsTest, MetadataHoldsOnlyWholeValuesInItsOrder) {
    MeterFacts facts = Found();
    facts.TakeBusSettings(2.5f, 1.0f, 0.98f);
    const qtm::LogMetadata m = DetailedMetadata(
        facts.Now(), "1.2.3", std::chrono::sys_days(std::chrono::year(2026) / 12 / 9));
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"program", "qtm200debug"}, {"version", "1.2.3"}, {"saved", "2026-12-09T00:00:00.000Z"},
        {"port", "/dev/ttyUSB0"},   {"link", "usb"},      {"serial", "24050017"},
        {"model", "QTX-210P"},      {"cal", "2.5"},       {"k", "1"},
        {"calk", "0.98"},
    };
    EXPECT_EQ(m.Entries(), expected);  // no band: its reply was broken
}

}  // namespace
