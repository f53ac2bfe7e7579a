// The simulator's frame splitters and its meter on any received bytes, fed in pieces.
// Must never: crash, cut a frame longer than the bytes it was given or of length 0,
// cut a different frame once more bytes have arrived, or hold an unbounded backlog.
#include <cstdint>
#include <vector>

#include "FuzzInput.h"
#include "sim/FrameSplitter.h"
#include "sim/MeterModel.h"

using namespace qtm::fuzz;
using namespace qtmsim;

namespace {

void CheckCut(Cut (*cut)(const std::uint8_t*, std::size_t),
              const std::vector<std::uint8_t>& bytes) {
    const Cut whole = cut(bytes.data(), bytes.size());
    if (whole.status != CutStatus::Complete) return;
    QTM_FUZZ_CHECK(whole.length > 0 && whole.length <= bytes.size());
    // The frame alone is the same frame; its own copy catches a read past its end.
    const std::vector<std::uint8_t> frame(bytes.begin(), bytes.begin() + whole.length);
    const Cut alone = cut(frame.data(), frame.size());
    QTM_FUZZ_CHECK(alone.status == CutStatus::Complete && alone.length == whole.length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::uint8_t setup = input.Byte();
    MeterConfig config;
    config.family = setup & 1 ? Family::Qtm300 : Family::Qtx200;
    config.rs485 = (setup & 2) != 0;
    config.fault = static_cast<Fault>((setup >> 2) % 6);
    config.records = input.Word() % 7600;
    MeterModel meter(config);

    double now = 0;
    while (!input.Empty()) {
        const std::vector<std::uint8_t> piece = input.ShortPiece();
        CheckCut(&CutUsbFrame, piece);
        CheckCut(&CutModbusFrame, piece);
        now += input.Byte() / 100.0;
        for (const Exchange& e : meter.Feed(piece, now))
            QTM_FUZZ_CHECK(!e.request.bytes.empty());
        // A backlog never outgrows the longest frame the meter takes.
        QTM_FUZZ_CHECK(meter.PendingBytes() < 512);
    }
    return 0;
}
