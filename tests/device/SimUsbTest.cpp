// Every USB command of MeterLink against the simulated meter over a pseudo-terminal.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "SimFixture.h"
#include "VkBytes.h"

namespace qtm {
namespace {

using Clock = std::chrono::steady_clock;
using qtmsim::Family;
using qtmsim::Fault;

using test::Vk;

class UsbLinkTest : public test::SimFixture {
protected:
    void StartQtm300() {
        StartMeter({.model = "QTM300", .family = Family::Qtm300});
        link.SetDeviceType(DeviceType::Qtm300);
    }
    // The scan list: a port that does not exist, then the simulator.
    void ListMissingPortThenMeter() {
        link.AddExtraPort("/nonexistent/ttyUSB0");
        link.SetSimulatorPort(meter->PortPath());
        link.EnumeratePorts();
    }
};

TEST_F(UsbLinkTest, FindMeterSkipsPortsThatFailAndKeepsTheOneThatAnswers) {
    StartMeter();
    link.SetPortName("unchanged");
    ListMissingPortThenMeter();
    std::string model;
    EXPECT_EQ(link.FindMeter(model), 0);
    EXPECT_EQ(model, "QTX-200P");
    EXPECT_EQ(link.PortName(), meter->PortPath());
    EXPECT_EQ(Requests(), std::vector<Bytes>{Vk({0x42, 0x01, 0x00, 0x01, 0x01})});
}

TEST_F(UsbLinkTest, FindMeterOfQtm300FamilyKeepsAllTenModelBytes) {
    StartQtm300();
    link.SetSimulatorPort(meter->PortPath());
    link.EnumeratePorts();
    std::string model;
    EXPECT_EQ(link.FindMeter(model), 0);
    EXPECT_EQ(model, "QTM300    ");
    EXPECT_EQ(Requests().at(0), (Bytes{0x8C, 0x00}));
}

TEST_F(UsbLinkTest, FindMeterWithNoPortGivesUpAfterTenRounds) {
    link.SetSystemPortsEnabled(false);
    link.SetPortName("before");
    link.EnumeratePorts();
    std::string model = "kept";
    const auto start = Clock::now();
    EXPECT_EQ(link.FindMeter(model), -1);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(900));
    EXPECT_LT(elapsed, std::chrono::seconds(5));
    EXPECT_EQ(model, "kept");
    EXPECT_EQ(link.PortName(), "before");
}

TEST_F(UsbLinkTest, FindMeterIgnoresAMeterThatAnswersGarbageAndNamesThePortThatFailed) {
    StartMeter();
    meter->SetFault(Fault::Garbage);
    ListMissingPortThenMeter();
    std::string model;
    EXPECT_EQ(link.FindMeter(model), -1);
    EXPECT_EQ(meter->RequestLog().size(), 10u);  // one request per round
    // The silent port opened last, yet the failure to report is the missing one.
    EXPECT_EQ(link.LastOpenError().kind, PortErrorKind::NotFound);
    EXPECT_EQ(link.LastOpenError().path, "/nonexistent/ttyUSB0");
}

TEST_F(UsbLinkTest, IdentityAndSettingsReads) {
    StartMeter({.records = 31, .calValue = 2.5f, .k = 1.25f, .saveGap = 60});
    EXPECT_EQ(link.ReadSerialNumber(), 1);
    EXPECT_EQ(link.SerialNumber(), "24050017  ");
    EXPECT_EQ(link.ReadBand(), 1);
    EXPECT_EQ(link.Band(), "400-700nm");
    EXPECT_EQ(link.ReadRange(), 1);
    EXPECT_EQ(link.Range(), "0-2000");
    float cal = 0, k = 0;
    std::int32_t gap = 0;
    MemoryUsage usage;
    EXPECT_EQ(link.ReadCalValue(cal), 1);
    EXPECT_FLOAT_EQ(cal, 2.5f);
    EXPECT_EQ(link.ReadSaveGap(gap), 1);
    EXPECT_EQ(gap, 60);
    EXPECT_EQ(link.ReadCoefficientK(k), 1);
    EXPECT_FLOAT_EQ(k, 1.25f);
    EXPECT_EQ(link.ReadMemoryUsage(usage), 1);
    EXPECT_EQ(usage.Pages(), 3);
    EXPECT_EQ(Requests(), (std::vector<Bytes>{
                              Vk({0x42, 0x02, 0x00, 0x01, 0x01}),
                              Vk({0x42, 0x23, 0x01, 0x00, 0x01}),
                              Vk({0x42, 0x24, 0x01, 0x00, 0x01}),
                              Vk({0x42, 0x0F, 0x01, 0x00, 0x01}),
                              Vk({0x42, 0x22, 0x01, 0x00, 0x01}),
                              Vk({0x42, 0x10, 0x01, 0x00, 0x01}),
                              Vk({0x42, 0x1F, 0x01, 0x00, 0x01}),
                          }));
}

TEST_F(UsbLinkTest, WritesReachTheMeter) {
    StartMeter();
    EXPECT_EQ(link.WriteModel("QTX-200L"), 0);
    EXPECT_EQ(link.WriteSerialNumber("SN77"), 0);
    EXPECT_EQ(link.WriteBand("380-780nm"), 0);
    EXPECT_EQ(link.WriteRange("0-20000"), 0);
    EXPECT_EQ(link.WriteFormula(2.0, 0.0, 0.0, 0.0, 1.0), 0);
    EXPECT_EQ(link.SetFitState(vk::kFitStart), 0);
    EXPECT_EQ(link.SetFitState(vk::kFitEnd), 0);
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 7u);
    EXPECT_EQ(requests[0], BuildVkWrite(0x01, FixedWidthText("QTX-200L", 10)));
    EXPECT_EQ(requests[2].size(), 19u);
    EXPECT_EQ(requests[2][4], 0x0E);
    EXPECT_EQ(requests[4], BuildPolynomialWrite(2.0, 0.0, 0.0, 0.0, 1.0));
    EXPECT_EQ(requests[5], Vk({0x43, 0x46, 0x01, 0x00, 0x30, 0x00}));
    meter->WithModel([](qtmsim::MeterModel& m) {
        EXPECT_EQ(m.State().model, "QTX-200L");
        EXPECT_EQ(m.State().serial, "SN77");
        EXPECT_EQ(m.State().band, "380-780nm");
        EXPECT_EQ(m.State().range, "0-20000");
        EXPECT_DOUBLE_EQ(m.State().coefficients[0], 2.0);
        EXPECT_DOUBLE_EQ(m.State().coefficients[4], 1.0);
    });
}

TEST_F(UsbLinkTest, FittingDataStreamIsCollected) {
    StartMeter();
    Bytes data;
    EXPECT_EQ(link.ReadFitData(data), 1);
    EXPECT_EQ(link.FitDataCount(), static_cast<int>(data.size()));
    ASSERT_GT(data.size(), 100u);
    EXPECT_LE(data.size(), 5100u);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 7), "<01> T:");
    EXPECT_EQ(Requests().at(0), BuildFitDataRequest());
}

TEST_F(UsbLinkTest, Qtm300SerialReadSendsTheInfoRequestAndKeepsTheNumber) {
    StartQtm300();
    EXPECT_EQ(link.ReadSerialNumber(), 1);
    EXPECT_EQ(link.SerialNumber(), "");
    std::array<std::uint8_t, 90> block{};
    EXPECT_EQ(link.ReadInfoBlock(block), 1);
    const std::string text(block.begin(), block.end());
    EXPECT_EQ(text.rfind("Model:QTM300;", 0), 0u) << text;
    // The meter pads the block with zero bytes; they come out as spaces.
    EXPECT_EQ(block.back(), ' ');
    EXPECT_EQ(std::count(block.begin(), block.end(), 0), 0);
    EXPECT_EQ(Requests(), std::vector<Bytes>(2, BuildQtm300InfoRequest()));
}

TEST_F(UsbLinkTest, FaultyRepliesAreTakenByTheirLengthAlone) {
    // The save interval is 1 (01 00 00 00); the garbled meter flips every bit under 0xA5.
    struct Case {
        Fault fault;
        std::int32_t gap;
    };
    StartMeter();
    for (const Case& c : {Case{Fault::Silent, 0}, Case{Fault::Short, 0},
                          Case{Fault::Garbage, static_cast<std::int32_t>(0xA5A5A5A4u)}}) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        meter->SetFault(c.fault);
        meter->ClearLog();
        std::int32_t gap = 1234;
        EXPECT_EQ(link.ReadSaveGap(gap), 1);
        EXPECT_EQ(gap, c.gap);
        EXPECT_EQ(meter->RequestLog().size(), 1u);  // attempts wait again, never resend
    }
}

TEST_F(UsbLinkTest, BandHeaderCountsAreCapped) {
    StartMeter();
    // The simulator answers on its own thread: the header it sends is shared with it.
    std::atomic<int> header{0};
    meter->SetReplyOverride([&header](const Bytes& request) -> std::optional<Bytes> {
        if (request.size() < 4 || request[3] != 0x23) return std::nullopt;
        Bytes reply{'V', 'K', 0x42, 0x23, static_cast<std::uint8_t>(header.load()), 0};
        for (int i = 0; i < 20; ++i)
            reply.push_back(static_cast<std::uint8_t>('A' + i));
        return reply;
    });
    struct Case {
        int header;
        std::string band;
    };
    for (const Case& c : {Case{20, "ABCDEFGHIJKLMN"}, Case{15, "ABCDEFGHIJKLMNO"}}) {
        SCOPED_TRACE(c.header);
        header.store(c.header);
        EXPECT_EQ(link.ReadBand(), 1);
        EXPECT_EQ(link.Band(), c.band);
    }
}

TEST_F(UsbLinkTest, RangeHeaderOfOneGivesAnEmptyRange) {
    StartMeter();
    ASSERT_EQ(link.ReadRange(), 1);
    ASSERT_EQ(link.Range(), "0-2000");
    meter->SetReplyOverride([](const Bytes&) -> std::optional<Bytes> {
        return Bytes{'V', 'K', 0x42, 0x24, 0x01, 0x00, 'X', 'Y'};
    });
    EXPECT_EQ(link.ReadRange(), 1);
    EXPECT_EQ(link.Range(), "");
}

TEST_F(UsbLinkTest, PortThatDoesNotExistFailsEveryCommand) {
    link.SetPortName("/nonexistent/ttyUSB3");
    std::int32_t gap = 7;
    EXPECT_EQ(link.ReadSaveGap(gap), -1);
    EXPECT_EQ(gap, 7);
    EXPECT_EQ(link.ReadBand(), -1);
    EXPECT_EQ(link.WriteModel("X"), -1);
    Bytes data;
    EXPECT_EQ(link.ReadFitData(data), -1);
    EXPECT_EQ(link.LastOpenError().kind, PortErrorKind::NotFound);
}

TEST_F(UsbLinkTest, MeterThatHangsUpDoesNotHangTheLink) {
    StartMeter();
    meter->SetFault(Fault::HangUp);
    const auto start = Clock::now();
    std::int32_t gap = 5;
    // The request went out before the line dropped: a read with a cleared value.
    EXPECT_EQ(link.ReadSaveGap(gap), 1);
    EXPECT_EQ(gap, 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    // The port is gone for good now.
    EXPECT_EQ(link.ReadSaveGap(gap), -1);
    EXPECT_EQ(link.LastOpenError().kind, PortErrorKind::NotFound);
}

}  // namespace
}  // namespace qtm
