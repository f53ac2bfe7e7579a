// Measures how long the USB link takes for a settings read and a full live pass against
// an in-process simulated meter, and compares it with the protocol's own pacing: the
// pauses before each reply plus the bytes' time on the wire at 115200 baud.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "device/MeterLink.h"
#include "service/LiveReadings.h"
#include "sim/SimMeter.h"

namespace {

constexpr int kRuns = 9;
constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit
constexpr double kBaud = 115200.0;

double WireMs(std::size_t bytes) {
    return static_cast<double>(bytes) * kBitsPerByte / kBaud * 1000.0;
}

double MedianMs(const std::function<void()>& operation) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        operation();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Report(const char* name, double measuredMs, double pacingMs) {
    std::printf("%-22s measured %8.2f ms  pacing %8.2f ms  ratio %.3f  overhead %+6.2f%%\n", name,
                measuredMs, pacingMs, measuredMs / pacingMs, (measuredMs / pacingMs - 1.0) * 100.0);
}

}  // namespace

int main() {
    qtmsim::SimMeter sim(qtmsim::MeterConfig{});
    std::string error;
    if (!sim.Start(&error)) {
        std::fprintf(stderr, "the simulated meter could not be started: %s\n", error.c_str());
        return 1;
    }
    qtm::MeterLink link;
    link.SetSystemPortsEnabled(false);
    link.SetPortName(sim.PortPath());
    std::printf("bench_device: median of %d runs against the simulated meter on %s\n", kRuns,
                sim.PortPath().c_str());

    // Settings read: 7-byte request, 11-byte reply, one 100 ms pause when it answers.
    bool allRead = true;
    const double saveGapMs = MedianMs([&] {
        std::int32_t gap = 0;
        allRead = link.ReadSaveGap(gap) == 1 && allRead;
    });
    Report("ReadSaveGap", saveGapMs, 100.0 + WireMs(7 + 11));

    // A live pass: five 7-byte requests; the power reply waits 10 ms, the others 100 ms.
    double livePacingMs = 0;
    for (const qtm::LiveRequest& request : qtm::kLiveRequests) {
        livePacingMs += request.pauseMs + WireMs(7 + request.replyLength);
    }
    bool allPower = true;
    const double liveMs = MedianMs([&] {
        qtm::LiveValues values = qtm::ReadLiveValues(link);
        allPower = values.powerOk && allPower;
    });
    Report("USB live pass", liveMs, livePacingMs);

    if (!allRead || !allPower) {
        std::fprintf(stderr, "some exchanges failed; the figures are not meaningful\n");
        return 1;
    }
    return 0;
}
