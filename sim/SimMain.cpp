// qtm200sim: serves one simulated meter on a pseudo-terminal until SIGINT or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "device/CNumberFormat.h"
#include "sim/SimArgs.h"
#include "sim/SimMeter.h"

namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i) out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options =
        qtmsim::ParseSimArgs(std::vector<std::string>(argv + 1, argv + argc), &error);
    if (!options) {
        std::fprintf(stderr, "qtm200sim: %s\ntry 'qtm200sim --help'\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(qtmsim::SimUsage().c_str(), stdout);
        return 0;
    }
    if (options->version) {
        std::printf("%s\n", qtmsim::SimVersionLine().c_str());
        return 0;
    }

    // Wait for the stop signals synchronously instead of in a handler; block them
    // before any thread starts so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::FILE* log = nullptr;
    if (options->logPath == "-") {
        log = stderr;
    } else if (!options->logPath.empty()) {
        log = std::fopen(options->logPath.c_str(), "w");
        if (!log) {
            std::fprintf(stderr, "qtm200sim: cannot write %s\n", options->logPath.c_str());
            return 1;
        }
    }

    qtmsim::SimMeter meter(options->config);
    if (log) {
        meter.SetRequestObserver([log](const qtmsim::Request& r) {
            std::fputs(qtm::FormatC("%.3f %s\n", r.atSeconds, Hex(r.bytes).c_str()).c_str(), log);
            std::fflush(log);
        });
    }
    if (!meter.Start(&error)) {
        std::fprintf(stderr, "qtm200sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("port: %s\n", meter.PortPath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    meter.Stop();
    if (log && log != stderr) std::fclose(log);
    return 0;
}
