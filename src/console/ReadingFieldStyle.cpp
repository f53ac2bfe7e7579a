#include "console/ReadingFieldStyle.h"

namespace qtm {

std::optional<FieldStyle> StyleOfField(int controlId, bool blink) {
    switch (controlId) {
        case 1002:  // power
        case 1003:  // energy
            return FieldStyle{54, kReadingBlue};
        case 1012:  // T
        case 1007:  // Vol
        case 1008:  // AD
            return FieldStyle{10, kReadingBlue};
        case 1010:  // power unit
        case 1011:  // energy unit
            return FieldStyle{16, blink ? kReadingBlue : kUnitRed};
        case 1013:  // "P:"
        case 1014:  // "E:"
            return FieldStyle{16, kReadingBlue};
        case 1039:  // Auto(Y) boxes
        case 1040:
        case kPlainLabel:
            return FieldStyle{9, std::nullopt};
        default:
            return std::nullopt;
    }
}

}  // namespace qtm
