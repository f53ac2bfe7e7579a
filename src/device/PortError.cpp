#include "device/PortError.h"

#include <cerrno>
#include <system_error>

namespace qtm {

PortErrorKind ClassifyOpenErrno(int err) {
    switch (err) {
        case 0:
            return PortErrorKind::None;
        case ENOENT:
        case ENODEV:
        case ENXIO:  // a device node whose hardware is gone
        case ENOTDIR:
            return PortErrorKind::NotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return PortErrorKind::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:  // flock() held by another open of the same port
            return PortErrorKind::Busy;
        case ENOTTY:
            return PortErrorKind::NotATerminal;
        default:
            return PortErrorKind::Other;
    }
}

const char* PortErrorKindName(PortErrorKind kind) {
    switch (kind) {
        case PortErrorKind::None:
            return "no error";
        case PortErrorKind::NotFound:
            return "no such port";
        case PortErrorKind::PermissionDenied:
            return "permission denied (is the user in the dialout group?)";
        case PortErrorKind::Busy:
            return "port is in use by another program";
        case PortErrorKind::NotATerminal:
            return "not a serial port";
        case PortErrorKind::Other:
            return "cannot be opened";
    }
    return "cannot be opened";
}

int RefusalWeight(const PortError& error, bool namedByUser) {
    if (!error.Failed()) return -1;
    return (namedByUser ? 2 : 0) + (error.kind == PortErrorKind::NotFound ? 0 : 1);
}

PortError MakePortError(const std::string& path, int err) {
    PortError error;
    error.kind = ClassifyOpenErrno(err);
    error.errnoValue = err;
    error.path = path;
    error.detail = err != 0 ? std::generic_category().message(err) : "";
    return error;
}

std::string PortError::Describe() const {
    std::string text = path.empty() ? std::string("port") : path;
    text += ": ";
    text += PortErrorKindName(kind);
    if (!detail.empty()) {
        text += " (";
        text += detail;
        text += ")";
    }
    return text;
}

}  // namespace qtm
