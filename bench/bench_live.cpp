// The live measurement's costs in the window: appending one row to the reading list and
// repainting the list, with 1,000 and with 1,000,000 rows already listed (the cost must not
// grow with the list), the resident memory with a full buffer, and the window's CPU use
// during a live run against a simulated meter in another process (qtm200sim).
//
// Usage: bench_live [SECONDS]   (the live run's length, default 60)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "console/QTM200DebugDlg.h"
#include "console/ReadingListView.h"
#include "console/ReadingStore.h"
#include "console/RecordingPrompts.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRowGoalUs = 50.0;
constexpr double kCpuGoalPercent = 2.0;
constexpr double kMemoryGoalMb = 150.0;

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct RowCost {
    double medianUs;
    double p90Us;
    double residentMb;
};

// Lists rows readings, shows them in a view the size of the window's list, then times
// appending one more row and repainting the list, many times.
RowCost BenchRows(int rows) {
    auto store = std::make_unique<ReadingStore>();
    for (int i = 0; i < rows; ++i)
        store->AppendLive(static_cast<float>(i % 977) * 1.25f, i * 0.5, static_cast<float>(i) / 10);
    ReadingListView view;
    view.resize(322, 155);
    store->AttachView(&view);
    view.show();
    view.scrollToBottom();
    QApplication::processEvents();

    const int runs = 301;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        store->AppendLive(12.5f, 123456.78, 1234.5f);
        // Paints what changed, as the window's event loop does after a pass.
        QApplication::processEvents();
        times.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[times.size() * 9 / 10], ResidentMb()};
}

// Starts qtm200sim from the folder of this program; its port, or "" when it did not start.
std::string StartSimulator(const char* argv0, pid_t& pid) {
    std::string dir = argv0;
    const std::size_t slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    const std::string program = dir + "/qtm200sim";
    int out[2];
    if (pipe(out) != 0) return {};
    pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(program.c_str(), program.c_str(), "--model", "QTX-200P", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(out[0]);
    const std::string prefix = "port: ";
    return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : std::string();
}

int BenchLiveRun(const char* argv0, int seconds) {
    pid_t sim = -1;
    const std::string port = StartSimulator(argv0, sim);
    if (port.empty()) {
        std::fprintf(stderr, "bench_live: qtm200sim did not start\n");
        if (sim > 0) kill(sim, SIGTERM);
        return 1;
    }
    int status = 0;
    {
        PortListSetup ports;
        ports.systemPorts = false;
        ports.extraPorts = {port};
        CQTM200DebugDlg dlg(std::make_unique<RecordingPrompts>(), ports);
        dlg.OnInitDialog();
        dlg.show();
        if (!dlg.m_bConnected) {
            std::fprintf(stderr, "bench_live: the window found no meter on %s\n", port.c_str());
            status = 1;
        } else {
            QApplication::processEvents();
            const double cpuBefore = CpuSeconds();
            const auto wallBefore = Clock::now();
            dlg.OnStartStop();
            QEventLoop loop;
            QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
            loop.exec();
            dlg.OnStartStop();
            const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
            const double cpu = (CpuSeconds() - cpuBefore) / wall * 100.0;
            std::printf("live run %d s against qtm200sim on %s: %zu readings, %d rows\n", seconds,
                        port.c_str(), dlg.m_records.Count(), dlg.m_records.Model().rowCount());
            std::printf("  window process CPU: %.2f %% of one core (goal under %.0f %%) %s\n", cpu,
                        kCpuGoalPercent, cpu < kCpuGoalPercent ? "met" : "MISSED");
        }
        dlg.reject();
    }
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    QApplication app(argc, argv);

    std::printf("append one row and show it in the list (median and 90th percentile of 301)\n");
    for (int rows : {1000, 999000}) {
        const RowCost cost = BenchRows(rows);
        std::printf("  %7d rows: %7.1f us  p90 %7.1f us  (goal under %.0f us) %s\n", rows,
                    cost.medianUs, cost.p90Us, kRowGoalUs,
                    cost.medianUs < kRowGoalUs ? "met" : "MISSED");
        if (rows > 1000) {
            std::printf(
                "  resident memory with the buffer nearly full: %.1f MB (goal under %.0f MB) %s\n",
                cost.residentMb, kMemoryGoalMb, cost.residentMb < kMemoryGoalMb ? "met" : "MISSED");
        }
    }
    return BenchLiveRun(argv[0], seconds);
}
