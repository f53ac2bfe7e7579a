// The RS-485 link fed by a meter that answers anything: register reads of any count,
// the live block, the identity, register writes.
// Must never: crash, copy more than the registers asked for into the caller's buffer,
// change the live block on a failed read, return other than 1/0 (-1 for the live
// block), or give a model text that is not UTF-8.
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "FuzzMeter.h"
#include "device/MeterLink.h"
#include "service/LiveReadings.h"
#include "service/MeterIdentity.h"

using namespace qtm;
using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    FuzzMeter meter(input);
    MeterLink link(meter.Factory());
    link.SetCommMode(CommMode::Rs485);
    if (link.OpenBusPort("/fuzz/ttyUSB0", MeterLink::kUsbBaudRate) != 0) return 0;
    const std::uint8_t address = input.Byte();

    for (int step = 0; step < 16 && !input.Empty(); ++step) {
        switch (input.Byte() % 5) {
            case 0: {
                // A buffer with guard bytes past what the count allows.
                const std::uint16_t count = input.Byte() % 130;
                std::vector<std::uint8_t> buffer(2u * count + 16, 0xA5);
                int byteCount = -1;
                const int r = link.ReadHoldingRegisters(
                    address, input.Word(), count, std::span(buffer).first(2u * count), &byteCount);
                QTM_FUZZ_CHECK(r == 0 || r == 1);
                QTM_FUZZ_CHECK(std::all_of(buffer.begin() + 2 * count, buffer.end(),
                                           [](std::uint8_t b) { return b == 0xA5; }));
                QTM_FUZZ_CHECK(byteCount >= -1 && byteCount <= 255);
                break;
            }
            case 1: {
                std::array<std::uint8_t, 36> block;
                block.fill(0x5A);
                const int r = link.ReadLiveBlock(block, address);
                QTM_FUZZ_CHECK(r == 1 || r == -1);
                if (r == -1)
                    QTM_FUZZ_CHECK(std::all_of(block.begin(), block.end(),
                                               [](std::uint8_t b) { return b == 0x5A; }));
                break;
            }
            case 2:
                if (const auto id = ReadBusIdentity(link, address)) {
                    QTM_FUZZ_CHECK(IsUtf8(id->model));
                    QTM_FUZZ_CHECK(id->model.size() <= 3 * 12);
                }
                break;
            case 3:
                (void)ReadBusLiveValues(link, address);
                break;
            default: {
                const std::uint16_t count = input.Byte() % 130;
                const std::vector<std::uint8_t> values = input.ShortPiece();
                const auto byteCount =
                    static_cast<std::uint8_t>(std::min<std::size_t>(values.size(), 255));
                const int r =
                    link.WriteMultipleRegisters(address, input.Word(), count, byteCount, values);
                QTM_FUZZ_CHECK(r == 0 || r == 1);
                break;
            }
        }
    }
    link.CloseBusPort();
    return 0;
}
