// Why the last attempt to open a serial port failed, so the window and the CLI can tell
// a missing port from one this user may not open or one that another program holds.
#pragma once

#include <string>

namespace qtm {

enum class PortErrorKind {
    None,              // the last open succeeded (or none was tried)
    NotFound,          // no such device node, or no hardware behind it
    PermissionDenied,  // the node exists but this user may not open it (dialout group)
    Busy,              // another program (or handle) holds the port exclusively
    NotATerminal,      // the path names something that is not a serial line
    Other,             // anything else: unsupported baud rate, I/O error ...
};

struct PortError {
    PortErrorKind kind = PortErrorKind::None;
    int errnoValue = 0;
    std::string path;
    std::string detail;  // the system's text for errnoValue

    bool Failed() const { return kind != PortErrorKind::None; }
    // One line for the operator, e.g. "/dev/ttyUSB0: permission denied (...)".
    std::string Describe() const;
};

// Maps an errno value of open()/ioctl()/flock() to the kind the operator needs to know.
PortErrorKind ClassifyOpenErrno(int err);
const char* PortErrorKindName(PortErrorKind kind);
// When no port answered, which refusal to tell: the heavier one, the first of equals. A port
// the user named outweighs one the system listed (which would otherwise, listed first, hide
// it), and a port that is there but refused outweighs one that does not exist.
int RefusalWeight(const PortError& error, bool namedByUser);
// Builds a PortError for path from an errno value, classifying it.
PortError MakePortError(const std::string& path, int err);

}  // namespace qtm
