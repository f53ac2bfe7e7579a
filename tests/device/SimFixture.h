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

    std::unique_ptr<qtmsim::SimMeter> meter;
    MeterLink link;
};

}  // namespace qtm::test
