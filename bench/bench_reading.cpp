// Times one reading through each serializer of the reading object (JSON line and CSV row)
// with the USB live columns, for a typical reading with its time and serial number, and
// counts the allocations they make once the output string has grown. A logger or a
// publisher calls them for every reading, so the goal is under 5 us a reading.
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "service/ModelCatalog.h"
#include "service/ReadingObject.h"

namespace {

std::atomic<std::size_t> g_allocations{0};

}  // namespace

// Every allocation of the program is counted, so a serializer that allocates per reading
// shows up.
void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

constexpr int kRuns = 5;
constexpr std::size_t kReadings = 1'000'000;
constexpr double kGoalMicros = 5.0;

double ThreadCpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Figure {
    double wallMicros = 0;  // per reading, the median run
    double cpuMicros = 0;   // of the same run: what this thread itself spent
    std::size_t allocations = 0;
    std::size_t bytes = 0;
};

template <typename Serialize>
Figure Measure(Serialize serialize) {
    const qtm::ReadingColumns columns = qtm::ReadingColumns::UsbLive();
    const qtm::ReadingUnits units = qtm::ListUnitsOfModel("QTX-200P");
    qtm::ReadingObject reading;
    reading.unit = units.power;
    reading.energyUnit = units.energy;
    reading.serial = "QTX2412345";
    reading.temperature = 25.25f;
    reading.voltage = 3.71f;
    reading.ad = 2047;
    const auto start = std::chrono::system_clock::time_point(
                           std::chrono::sys_days{std::chrono::year{2026} / 12 / 9}) +
                       std::chrono::hours(23);

    std::string out;
    std::vector<Figure> runs;
    for (int run = 0; run < kRuns; ++run) {
        Figure figure;
        // Readings of a live run, one every 100 ms across a midnight, the values changing.
        auto fill = [&](std::size_t i) {
            reading.n = static_cast<std::int64_t>(i + 1);
            reading.time = start + std::chrono::milliseconds(100 * static_cast<std::int64_t>(i));
            reading.power = 1234.5f + static_cast<float>(i % 1000) * 0.37f;
            reading.energy = 0.05 * static_cast<double>(i) * reading.power;
            reading.seconds = static_cast<float>(i) * 0.1f;
        };
        fill(0);
        serialize(out, columns, reading);  // the string grows to a reading's size here
        const std::size_t allocationsBefore = g_allocations.load();
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuSeconds();
        for (std::size_t i = 0; i < kReadings; ++i) {
            fill(i);
            out.clear();
            serialize(out, columns, reading);
            figure.bytes += out.size();
        }
        const double cpu = ThreadCpuSeconds() - cpuStart;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        figure.allocations = g_allocations.load() - allocationsBefore;
        figure.wallMicros = wall * 1e6 / static_cast<double>(kReadings);
        figure.cpuMicros = cpu * 1e6 / static_cast<double>(kReadings);
        runs.push_back(figure);
    }
    std::sort(runs.begin(), runs.end(),
              [](const Figure& a, const Figure& b) { return a.wallMicros < b.wallMicros; });
    return runs[runs.size() / 2];
}

}  // namespace

int main() {
    const Figure json = Measure(qtm::AppendReadingJson);
    const Figure csv = Measure(qtm::AppendReadingCsv);
    std::printf("bench_reading: %zu readings (USB live columns), median of %d runs\n", kReadings,
                kRuns);
    std::printf("%-18s %7.3f us a reading  (cpu %.3f us)  %5.1f bytes  %zu allocations\n",
                "AppendReadingJson", json.wallMicros, json.cpuMicros,
                static_cast<double>(json.bytes) / kReadings, json.allocations);
    std::printf("%-18s %7.3f us a reading  (cpu %.3f us)  %5.1f bytes  %zu allocations\n",
                "AppendReadingCsv", csv.wallMicros, csv.cpuMicros,
                static_cast<double>(csv.bytes) / kReadings, csv.allocations);
    // The processor time is judged: on a busy machine the wall time also counts the others'
    // share of the processors.
    const double worst = std::max(json.cpuMicros, csv.cpuMicros);
    const bool met = worst <= kGoalMicros && json.allocations == 0 && csv.allocations == 0;
    std::printf("goal: under %.0f us a reading, no allocation once the string has grown: %s\n",
                kGoalMicros, met ? "pass" : "FAIL");
    return met ? 0 : 1;
}
