#include "service/BackupStore.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>

namespace qtm {

namespace {

constexpr std::uintmax_t kMaxBackupBytes = 64 * 1024;

std::tm UtcTime(std::chrono::system_clock::time_point when) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
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

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Renames from into to unless to exists (an earlier backup is never replaced).
bool RenameNoReplace(const std::string& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without the flag: check, then rename (nobody else writes this folder's
    // names within the same millisecond).
    std::error_code ec;
    if (std::filesystem::exists(to, ec)) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Writes data whole into a new temporary file in folder; its path, or the error.
bool WriteTemporary(const std::string& data, const std::filesystem::path& folder, std::string& temp,
                    std::string& error) {
    temp = (folder / ".backup-XXXXXX").string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error = "no file can be written in " + folder.string() + " (" + std::strerror(errno) + ")";
        return false;
    }
    const bool written = WriteAll(fd, data) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!written) {
        ::unlink(temp.c_str());
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
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = path.string() + " could not be written (" + std::strerror(errno) + ")";
        ::unlink(temp.c_str());
        return error;
    }
    return {};
}

std::filesystem::path BackupFolder() {
    std::filesystem::path base;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // The base directory rules: a relative XDG_DATA_HOME is invalid and ignored.
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && home[0] != '\0') {
        base = std::filesystem::path(home) / ".local" / "share";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    return base / "QTM200Debug" / "backups";
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
        result.error =
            "the folder " + folder.string() + " cannot be created (" + ec.message() + ")";
        return result;
    }
    std::string temp;
    if (!WriteTemporary(FormatBackup(parameters), folder, temp, result.error)) return result;
    // Two backups within the same millisecond get distinct names; none is ever replaced.
    const std::string name = BackupFileName(parameters, when);
    std::filesystem::path target = folder / name;
    for (int n = 1; n < 100; ++n) {
        if (RenameNoReplace(temp, target)) {
            result.path = target;
            return result;
        }
        if (errno != EEXIST) break;
        target = folder / (name.substr(0, name.size() - 4) + "-" + std::to_string(n) + ".txt");
    }
    const int linkError = errno;
    ::unlink(temp.c_str());
    result.error =
        "the backup could not be put in place (" + std::string(std::strerror(linkError)) + ")";
    return result;
}

BackupLoad LoadBackup(const std::filesystem::path& path) {
    BackupLoad result;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        result.error = path.string() + " cannot be read (" + ec.message() + ")";
        return result;
    }
    if (size > kMaxBackupBytes) {
        result.error = path.string() + " is too large to be a parameter backup";
        return result;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
        result.error = path.string() + " cannot be read";
        return result;
    }
    BackupParse parsed = ParseBackup(text);
    if (!parsed.parameters) {
        result.error = path.string() + ": " + parsed.error;
        return result;
    }
    result.parameters = std::move(parsed.parameters);
    return result;
}

}  // namespace qtm
