#include "cli/ReadingSinks.h"

#include <ctime>

#include "qtm/Version.h"
#include "service/FileTarget.h"
#include "service/JsonText.h"
#include "service/UtcTime.h"

namespace qtm::cli {
namespace {

bool UsesStdout(const std::optional<std::string>& file) {
    return file && *file == "-";
}

}  // namespace

LogMetadata RunMetadata(const CommandContext& c, WallTime started, std::string_view port) {
    LogMetadata metadata;
    metadata.Add("program", "qtm200cli").Add("version", kProgramVersion);
    metadata.Add("started", UtcIsoMillis(started)).Add("port", port);
    const bool bus = c.options.link == Link::Rs485;
    metadata.Add("link", bus ? "rs485" : "usb");
    if (bus) metadata.Add("address", std::to_string(c.options.address));
    return metadata;
}

void AddIdentity(LogMetadata& m, std::string_view model, const IdentityRead& id) {
    if (const std::string serial = WholeSerial(id); !serial.empty()) m.Add("serial", serial);
    m.Add("model", model);
    if (id.band && id.Whole("band")) m.Add("band", *id.band);
    if (id.range && id.Whole("range")) m.Add("range", *id.range);
    if (id.calValue && id.Whole("calibration value")) m.Add("cal", JsonNumber(*id.calValue));
    if (id.k && id.Whole("K")) m.Add("k", JsonNumber(*id.k));
    if (id.saveGap && id.Whole("save interval")) m.Add("savetime", std::to_string(*id.saveGap));
}

std::string WholeSerial(const IdentityRead& id) {
    if (!id.serialNumber || !id.Whole("serial number")) return {};
    // The meter pads its ten-byte field with spaces; they are no part of the number, and a
    // topic or file name made of it should not end in them.
    const std::string& serial = *id.serialNumber;
    const std::size_t first = serial.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return serial.substr(first, serial.find_last_not_of(' ') - first + 1);
}

ReadingSinks::ReadingSinks(CommandContext& context, ReadingColumns columns, Clock clock)
    : m_context(context), m_columns(columns), m_clock(std::move(clock)) {}

ReadingSinks::~ReadingSinks() = default;

std::ostream& ReadingSinks::Lines() {
    const CliOptions& o = m_context.options;
    return UsesStdout(o.csv) || UsesStdout(o.log) ? m_context.talk : m_context.out;
}

bool ReadingSinks::Check() {
    if (!m_context.options.log) return true;
    // The name as it is now; a later name (the next day's) is checked when it comes.
    const std::time_t now = std::chrono::system_clock::to_time_t(m_clock());
    std::tm local{};
    ::localtime_r(&now, &local);
    const FileTarget target = ResolveFileTarget(ExpandLogName(*m_context.options.log, local));
    if (const FileResult check = CheckFileTarget(target); !check.Ok()) {
        m_context.err << DescribeFileError(check) << "\n";
        return false;
    }
    return true;
}

bool ReadingSinks::Start() {
    return true;
}

void ReadingSinks::AddMeter(const ReadingObject&, std::string_view) {}

bool ReadingSinks::Add(const std::string& textLine, ReadingObject reading) {
    if (!m_ok) return false;
    reading.n = ++m_written;
    const CliOptions& o = m_context.options;
    // The file first: a reading the user has seen is already in it when the run is killed.
    if (o.log) {
        FileResult written;
        if (!m_log) {
            m_context.out.flush();
            m_log = std::make_unique<ReadingLogWriter>(*o.log, m_metadata, m_columns, m_clock);
            written = m_log->Open();
        }
        if (written.Ok()) written = m_log->Append(reading);
        if (!written.Ok()) {
            m_context.err << DescribeFileError(written) << "\n";
            m_ok = false;
            return false;
        }
    }
    if (o.stats) m_stats.Add(reading.power, reading.time);
    switch (o.format) {
        case OutputFormat::Text:
            if (m_textShown) Lines() << textLine << std::endl;
            break;
        case OutputFormat::Csv:
            m_line.clear();
            if (m_written == 1) m_line = ReadingCsvHeader(m_columns);
            AppendReadingCsv(m_line, m_columns, reading);
            m_context.out << m_line << std::flush;
            break;
        case OutputFormat::Jsonl:
            m_line.clear();
            AppendReadingJson(m_line, m_columns, reading);
            m_context.out << m_line << std::flush;
            break;
    }
    return true;
}

void ReadingSinks::NoReading(const std::string& textLine) {
    if (m_context.options.format == OutputFormat::Text && m_textShown)
        Lines() << textLine << std::endl;
}

bool ReadingSinks::Finish(std::string_view unit) {
    if (m_log) {
        const FileResult closed = m_log->Close();
        m_log.reset();
        if (!closed.Ok() && m_ok) {
            m_context.err << DescribeFileError(closed) << "\n";
            m_ok = false;
        }
    }
    if (m_context.options.stats) m_context.talk << FormatStatsLine(m_stats, unit) << std::endl;
    return m_ok;
}

}  // namespace qtm::cli
