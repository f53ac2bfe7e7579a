#include "service/BackupStore.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

#include "service/CsvFile.h"
#include "service/platform/NativeFile.h"

namespace qtm {

namespace {

constexpr std::uintmax_t kMaxBackupBytes = 64 * 1024;

std::atomic<unsigned> g_backupCounter{0};

std::tm UtcTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    UniversalTime(seconds, &tm);
    return tm;
}

std::string SafeName(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const bool safe = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        out += safe ? c : '_';
    }
    // Padding of the meter's field is no part of the number; nor may a name be "." or "..".
    while (!out.empty() && out.back() == '_')
        out.pop_back();
    if (out.empty() || out.front() == '.') out.insert(0, "sn");
    return out;
}

// Writes data whole into a new temporary file in folder; its path, or the error.
bool WriteTemporary(const std::string& data, const std::filesystem::path& folder, std::string& temp,
                    std::string& error) {
    // A new name no one else uses: tagged with the process and a counter.
    NativeFile file;
    int opened = EEXIST;
    for (unsigned attempt = 0; attempt < 100 && opened == EEXIST; ++attempt) {
        temp = Utf8Of(folder / PathFromUtf8(".backup-" + std::to_string(ProcessId()) + "-" +
                                            std::to_string(g_backupCounter.fetch_add(1))));
        // Only the user may read it, as the backup holds the meter's whole set-up.
        opened = file.Open(temp, kOpenWrite | kOpenCreate | kOpenExclusive, 0600);
    }
    if (opened != 0) {
        error = "no file can be written in " + Utf8Of(folder) + " (" + std::strerror(opened) + ")";
        return false;
    }
    int saved = WriteAll(file, data.data(), data.size()) ? 0 : errno;
    if (saved == 0) saved = file.SyncAll();
    if (const int closed = file.Close(); saved == 0) saved = closed;
    if (saved != 0) {
        RemoveFile(temp);
        error = "the backup could not be written (" + std::string(std::strerror(saved)) + ")";
        return false;
    }
    return true;
}

}  // namespace

std::string WriteBackupFile(const MeterParameters& parameters, const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    std::string temp;
    std::string error;
    if (!WriteTemporary(FormatBackup(parameters), folder, temp, error)) return error;
    if (const int renamed = RenameFile(temp, Utf8Of(path)); renamed != 0) {
        error = Utf8Of(path) + " could not be written (" + std::strerror(renamed) + ")";
        RemoveFile(temp);
        return error;
    }
    return {};
}

std::filesystem::path BackupFolder() {
    return DataFolder() / "backups";
}

std::string UtcStamp(std::chrono::system_clock::time_point when) {
    const std::tm tm = UtcTime(when);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return text;
}

std::string BackupFileName(const MeterParameters& parameters,
                           std::chrono::system_clock::time_point when) {
    const std::tm tm = UtcTime(when);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()) % 1000;
    char millis[8];
    std::snprintf(millis, sizeof millis, "-%03d", static_cast<int>(ms.count()));
    const std::string serial =
        parameters.serialNumber ? SafeName(*parameters.serialNumber) : std::string();
    return (serial.empty() || serial == "sn" ? std::string("unknown") : serial) + "_" + stamp +
           millis + ".txt";
}

BackupSave SaveBackup(const MeterParameters& parameters, const std::filesystem::path& folder,
                      std::chrono::system_clock::time_point when) {
    BackupSave result;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        result.error = "the folder " + Utf8Of(folder) + " cannot be created (" + ec.message() + ")";
        return result;
    }
    std::string temp;
    if (!WriteTemporary(FormatBackup(parameters), folder, temp, result.error)) return result;
    // Two backups within the same millisecond get distinct names; none is ever replaced.
    const std::string name = BackupFileName(parameters, when);
    std::filesystem::path target = folder / name;
    int linkError = 0;
    for (int n = 1; n < 100; ++n) {
        linkError = RenameNoReplace(temp, Utf8Of(target));
        if (linkError == 0) {
            result.path = target;
            return result;
        }
        if (linkError != EEXIST) break;
        target = folder / (name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".txt");
    }
    RemoveFile(temp);
    result.error =
        "the backup could not be put in place (" + std::string(std::strerror(linkError)) + ")";
    return result;
}

BackupLoad LoadBackup(const std::filesystem::path& path) {
    BackupLoad result;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        result.error = Utf8Of(path) + " cannot be read (" + ec.message() + ")";
        return result;
    }
    if (size > kMaxBackupBytes) {
        result.error = Utf8Of(path) + " is too large to be a parameter backup";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        result.error = Utf8Of(path) + " cannot be read";
        return result;
    }
    BackupParse parsed = ParseBackup(text);
    if (!parsed.parameters) {
        result.error = Utf8Of(path) + ": " + parsed.error;
        return result;
    }
    result.parameters = std::move(parsed.parameters);
    return result;
}

}  // namespace qtm
