// A simulated meter with a MeterLink pointed at it: on its pseudo-terminal on Linux, on its
// in-process line on Windows, which has no pseudo-terminals.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "device/MeterLink.h"
#include "sim/SimMeter.h"

namespace qtm::test {

class SimFixture : public ::testing::Test {
protected:
    // Starts the meter; call at the top of a test (or from SetUp) with its configuration.
    void StartMeter(qtmsim::MeterConfig config = {}) {
        meter = std::make_unique<qtmsim::SimMeter>(std::move(config));
        std::string error;
        ASSERT_TRUE(meter->Start(&error)) << error;
        link.SetPortName(meter->PortPath());
        link.SetSystemPortsEnabled(false);
    }
    std::vector<Bytes> Requests() const {
        std::vector<Bytes> out;
        for (const auto& r : meter->RequestLog())
            out.push_back(r.bytes);
        return out;
    }

    // The command code (byte 3) of each VK request, in the order sent.
    std::vector<std::uint8_t> RequestCodes() const {
        std::vector<std::uint8_t> out;
        for (const auto& r : meter->RequestLog())
            if (r.bytes.size() >= 4 && r.bytes[0] == 'V') out.push_back(r.bytes[3]);
        return out;
    }

    static TransportFactory LinkTransports() {
#ifdef _WIN32
        return qtmsim::SimMeter::TransportFactory();
#else
        return SystemTransportFactory();
#endif
    }

    std::unique_ptr<qtmsim::SimMeter> meter;
    MeterLink link{LinkTransports()};
};

}  // namespace qtm::test
