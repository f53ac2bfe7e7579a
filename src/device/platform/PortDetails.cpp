#include "device/platform/PortDetails.h"

namespace qtm {

std::string DescribePortDetails(const PortDetails& details) {
    switch (details.kind) {
        case PortKind::Usb: {
            std::string text = "USB " + (details.vendorId.empty() ? "?" : details.vendorId) + ":" +
                               (details.productId.empty() ? "?" : details.productId);
            for (const std::string* part : {&details.manufacturer, &details.product})
                if (!part->empty()) text += "  " + *part;
            if (!details.serialNumber.empty()) text += "  serial " + details.serialNumber;
            return text;
        }
        case PortKind::Hardware:
            // Windows names the driver's device ("\Device\Serial0"); sysfs gives nothing.
            return details.product.empty() ? "serial port" : "serial port  " + details.product;
        case PortKind::Virtual:
            return "terminal without serial hardware";
        case PortKind::Pseudo:
            return "pseudo-terminal";
        case PortKind::Missing:
            return "does not exist";
        case PortKind::NotATerminal:
            return "not a serial port";
    }
    return {};
}

}  // namespace qtm
