// The USB link fed by a meter that answers anything: identity, settings, memory,
// fitting-data, information and live reads, in any order.
// Must never: crash, write past a buffer, return other than 1/-1 (reads) or 0/-1
// (identification), give a meter text that is not UTF-8 or longer than its field can
// decode to, or keep more than 5100 bytes of fitting data.
#include <cstdint>
#include <string>

#include "FuzzMeter.h"
#include "device/MeterLink.h"
#include "service/LiveReadings.h"
#include "service/MeterIdentity.h"

using namespace qtm;
using namespace qtm::fuzz;

namespace {

void CheckRead(int result) {
    QTM_FUZZ_CHECK(result == 1 || result == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    FuzzMeter meter(input);
    MeterLink link(meter.Factory());
    link.SetSystemPortsEnabled(false);
    link.AddExtraPort("/fuzz/ttyUSB0");
    link.EnumeratePorts();
    link.SetPortName("/fuzz/ttyUSB0");
    link.SetDeviceType(input.Byte() & 1 ? DeviceType::Qtm300 : DeviceType::Qtx200);

    LiveValues live;
    for (int step = 0; step < 24 && !input.Empty(); ++step) {
        switch (input.Byte() % 13) {
            case 0: {
                std::string model = "unchanged";
                const int r = link.FindMeter(model);
                QTM_FUZZ_CHECK(r == 0 || r == -1);
                if (r == 0) CheckMeterText(model, 10);
                if (r == -1) QTM_FUZZ_CHECK(model == "unchanged");
                break;
            }
            case 1:
                CheckRead(link.ReadSerialNumber());
                CheckMeterText(link.SerialNumber(), 10);
                break;
            case 2:
                CheckRead(link.ReadBand());
                CheckMeterText(link.Band(), 15);
                break;
            case 3:
                CheckRead(link.ReadRange());
                CheckMeterText(link.Range(), 15);
                break;
            case 4: {
                float value = 0;
                std::int32_t seconds = 0;
                CheckRead(link.ReadCalValue(value));
                CheckRead(link.ReadSaveGap(seconds));
                CheckRead(link.ReadCoefficientK(value));
                break;
            }
            case 5: {
                MemoryUsage usage;
                CheckRead(link.ReadMemoryUsage(usage));
                break;
            }
            case 6: {
                Bytes fit(7, 0xEE);
                CheckRead(link.ReadFitData(fit));
                QTM_FUZZ_CHECK(fit.size() <= MeterLink::kFitDataCapacity);
                QTM_FUZZ_CHECK(link.FitDataCount() == static_cast<int>(fit.size()));
                break;
            }
            case 7: {
                std::array<std::uint8_t, MeterLink::kInfoBlockBytes> block{};
                CheckRead(link.ReadInfoBlock(block));
                break;
            }
            case 8: {
                const IdentityRead id = ReadIdentity(link);
                if (id.serialNumber) CheckMeterText(*id.serialNumber, 10);
                if (id.band) CheckMeterText(*id.band, 15);
                if (id.range) CheckMeterText(*id.range, 15);
                break;
            }
            case 9:
                if (const auto info = ReadInfoText(link))
                    CheckMeterText(*info, MeterLink::kInfoBlockBytes);
                break;
            case 10:
                live = ReadLiveValues(link, live);
                break;
            case 11: {
                Bytes reply(3, 0xEE);
                bool complete = true;
                const std::size_t length = input.Byte();
                const int r = link.ExchangeFrame(BuildVkRead(input.Byte()), length,
                                                 1 + input.Byte() % 3, 0, reply, 1, &complete);
                CheckRead(r);
                QTM_FUZZ_CHECK(reply.size() == length);
                break;
            }
            default: {
                const std::string text = input.ShortText();
                const int r = link.WriteBand(text);
                QTM_FUZZ_CHECK(r == 0 || r == -1);
                break;
            }
        }
    }
    return 0;
}
