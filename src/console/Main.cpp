#include <cstdio>
#include <string_view>

#include "console/LaunchOptions.h"
#include "console/QTM200DebugApp.h"

int main(int argc, char** argv) {
    // Answered before the application object exists, which needs a display: a package
    // check or a server without one still gets the usage and the version.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(qPrintable(LaunchUsage()), stdout);
            return 0;
        }
        if (arg == "--version") {
            std::puts(qPrintable(LaunchVersionLine()));
            return 0;
        }
    }
    CQTM200DebugApp app(argc, argv);
    return app.InitInstance();
}
