// Times writing 1,000,000 records as the CSV export does (UTF-16LE, CR LF, "%d,%f,%f,%f")
// beside a naive writer that formats each line with snprintf, widens it and writes it on
// its own, both to the same folder in the same run. The export's budget is 0.3 s.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "service/CsvFile.h"
#include "service/CsvFormat.h"
#include "service/ReadingBuffer.h"

namespace {

constexpr int kRuns = 5;
constexpr double kBudgetSeconds = 0.3;

// Readings like those of a long live run: a varying power, a growing energy and time.
std::vector<qtm::MeasurementRecord> LiveLikeRecords(std::size_t count) {
    std::vector<qtm::MeasurementRecord> records;
    records.reserve(count);
    double energy = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const float power = static_cast<float>(1234.5 + 300.0 * std::sin(0.001 * i));
        energy += power * 0.5;
        records.push_back({static_cast<std::int32_t>(i + 1), power, energy,
                           static_cast<float>(0.5 * static_cast<double>(i))});
    }
    return records;
}

bool NaiveWrite(const std::filesystem::path& path, std::u16string_view header,
                const std::vector<qtm::MeasurementRecord>& records) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    auto writeWide = [&](const char* text, int n) {
        std::u16string wide(text, text + n);
        std::fwrite(wide.data(), sizeof(char16_t), wide.size(), file);
    };
    const char16_t bom = qtm::kByteOrderMark;
    std::fwrite(&bom, sizeof bom, 1, file);
    std::fwrite(header.data(), sizeof(char16_t), header.size(), file);
    std::fwrite(u"\r\n", sizeof(char16_t), 2, file);
    char line[1024];
    for (const auto& r : records) {
        const int n =
            std::snprintf(line, sizeof line, "%d,%f,%f,%f\r\n", r.number,
                          static_cast<double>(r.power), r.energy, static_cast<double>(r.seconds));
        writeWide(line, n);
    }
    return std::fclose(file) == 0;
}

std::string ReadAll(const std::filesystem::path& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char block[1 << 16];
        std::size_t n;
        while ((n = std::fread(block, 1, sizeof block, file)) > 0)
            bytes.append(block, n);
        std::fclose(file);
    }
    return bytes;
}

double CpuSeconds() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Timing {
    double wall = 0;  // median
    double cpu = 0;   // of the same run: the wall time less what others took from us
};

Timing Median(const std::function<bool()>& operation, bool& ok) {
    std::vector<Timing> times;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = CpuSeconds();
        ok = operation() && ok;
        const double cpu = CpuSeconds() - cpuStart;
        const auto end = std::chrono::steady_clock::now();
        times.push_back({std::chrono::duration<double>(end - start).count(), cpu});
    }
    std::sort(times.begin(), times.end(),
              [](const Timing& a, const Timing& b) { return a.wall < b.wall; });
    return times[times.size() / 2];
}

}  // namespace

int main() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qtm-bench-csv-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path folder = pattern;
    const auto records = LiveLikeRecords(qtm::kRecordCapacity);
    const std::u16string_view header = qtm::CsvHeader(qtm::ModelGroup::Illuminance);

    bool ok = true;
    const Timing ours =
        Median([&] { return qtm::WriteCsvFile(folder / "export.csv", header, records).Ok(); }, ok);
    const Timing naive =
        Median([&] { return NaiveWrite(folder / "naive.csv", header, records); }, ok);
    std::error_code ec;
    const auto size = std::filesystem::file_size(folder / "export.csv", ec);
    const bool same = !ec && ReadAll(folder / "export.csv") == ReadAll(folder / "naive.csv");

    std::printf("bench_csv: %zu records, %.1f MB, median of %d runs\n", records.size(),
                static_cast<double>(size) / 1e6, kRuns);
    std::printf("%-28s %8.3f s  (cpu %.3f s)\n", "export (temp file + rename)", ours.wall,
                ours.cpu);
    std::printf("%-28s %8.3f s  (cpu %.3f s)\n", "naive (line by line)", naive.wall, naive.cpu);
    // On a busy machine the wall time also counts the others' share of the processors.
    std::printf("budget %.3f s: %s\n", kBudgetSeconds,
                ours.wall <= kBudgetSeconds ? "met" : "MISSED (see the cpu time)");
    std::filesystem::remove_all(folder, ec);
    if (!ok || !same) {
        std::fprintf(stderr, "a writer failed or the two files differ\n");
        return 1;
    }
    return 0;
}
