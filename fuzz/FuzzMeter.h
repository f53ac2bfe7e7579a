// A meter whose every reply is the next piece of the fuzzer's input, behind the port
// double the device tests use, with the protocol's pauses switched off.
#pragma once

#include <memory>

#include "FuzzInput.h"
#include "device/FakeTransport.h"
#include "device/Pause.h"

namespace qtm::fuzz {

inline void NoPause(int) {}

class FuzzMeter {
public:
    // Each request written gets one reply: a length byte, then that many bytes; the
    // length 255 means a two-byte length follows, for the long fitting stream.
    explicit FuzzMeter(FuzzInput& input) : m_line(std::make_shared<test::FakeLine>()) {
        SetPauseFunction(&NoPause);
        m_line->responder = [&input](const std::vector<std::uint8_t>&) {
            const std::size_t n = input.Byte();
            return n == 255 ? input.LongPiece() : input.Bytes(n);
        };
    }

    TransportFactory Factory() const { return test::FakeFactory(m_line); }
    test::FakeLine& Line() { return *m_line; }

private:
    std::shared_ptr<test::FakeLine> m_line;
};

}  // namespace qtm::fuzz
