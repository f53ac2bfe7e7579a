// A simulated meter on a pseudo-terminal with a MeterLink pointed at it.
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

    std::unique_ptr<qtmsim::SimMeter> meter;
    MeterLink link;
};

}  // namespace qtm::test
