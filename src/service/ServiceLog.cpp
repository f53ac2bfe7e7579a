#include "service/ServiceLog.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "service/CsvFile.h"
#include "service/CsvLog.h"
#include "service/JsonText.h"
#include "service/UtcTime.h"
#include "service/platform/NativeFile.h"

namespace qtm {

std::filesystem::path ServiceLogPath() {
    return ProgramDataFolder() / "service-log.jsonl";
}

ServiceLogTarget MakeServiceLogTarget(std::string program, std::string port, bool bus, int address,
                                      std::string serial) {
    ServiceLogTarget target;
    target.program = std::move(program);
    target.port = std::move(port);
    target.link = bus ? "rs485" : "usb";
    if (bus) target.address = address;
    // The meter pads its serial-number field; the padding is no part of the number.
    while (!serial.empty() && (serial.back() == ' ' || serial.back() == '\0'))
        serial.pop_back();
    target.serial = std::move(serial);
    return target;
}

std::string WriteResult(bool ok, const std::string& reason) {
    return ok ? std::string("ok") : "failed: " + reason;
}

std::string FormatServiceLogLine(const ServiceLogTarget& target, const ServiceLogEntry& entry,
                                 std::chrono::system_clock::time_point when) {
    JsonObject line;
    line.AddString("time", UtcIsoMillis(when))
        .AddString("program", target.program)
        .AddString("port", target.port)
        .AddString("link", target.link);
    if (target.address) line.Add("address", JsonNumber(std::int64_t{*target.address}));
    line.AddString("serial", target.serial).AddString("parameter", entry.parameter);
    if (entry.oldValue) line.Add("old", *entry.oldValue);
    line.Add("new", entry.newValue).AddString("result", entry.result);
    return line.Text() + "\n";
}

std::string AppendServiceLog(const ServiceLogTarget& target, const ServiceLogEntry& entry,
                             const std::filesystem::path& path,
                             std::chrono::system_clock::time_point when) {
    const std::string line = FormatServiceLogLine(target, entry, when);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    // Appending puts each whole line at the end even when the window and a CLI write at once.
    NativeFile file;
    if (const int error = file.Open(Utf8Of(path), kOpenWrite | kOpenAppend | kOpenCreate, 0644);
        error != 0)
        return DescribeFileError(FileErrorOf(error, path));
    std::size_t written = 0;
    const int error = file.Write(line.data(), line.size(), &written);
    bool ok = error == 0 && written == line.size();
    if (!ok && written > 0) {
        // Never leave half a line for the next one to run into.
        FileKind kind{};
        std::int64_t end = 0;
        // If even the cut fails, the write's own failure is what the user is told.
        if (file.Status(&kind, &end) == 0 && end >= static_cast<std::int64_t>(written))
            file.Truncate(end - static_cast<std::int64_t>(written));
    }
    ok = ok && file.SyncAll() == 0;
    file.Close();
    if (ok) return {};
    return DescribeFileError(FileErrorOf(error != 0 ? error : ENOSPC, path));
}

std::string ServiceLogLine::Field(const std::string& key) const {
    for (const auto& [name, value] : fields) {
        if (name == key) return value;
    }
    return {};
}

std::vector<ServiceLogLine> ReadServiceLog(const std::filesystem::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string text;
    while (std::getline(in, text)) {
        if (text.empty()) continue;
        lines.push_back(std::move(text));
        // Keep only the newest: a log of years must not fill the memory.
        if (lines.size() > 2 * limit) lines.erase(lines.begin(), lines.end() - limit);
    }
    std::vector<ServiceLogLine> out;
    for (auto it = lines.rbegin(); it != lines.rend() && out.size() < limit; ++it) {
        ServiceLogLine line;
        line.raw = *it;
        if (auto fields = ParseFlatJsonObject(*it)) {
            line.fields = std::move(*fields);
            line.parsed = true;
        }
        out.push_back(std::move(line));
    }
    return out;
}

}  // namespace qtm
