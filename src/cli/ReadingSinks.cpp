#include "cli/ReadingSinks.h"

#include <ctime>

#ifdef QTM_HAVE_MQTT
#include "publish/MqttPublisher.h"
#endif
#include "qtm/Version.h"
#include "service/FileTarget.h"
#include "service/JsonText.h"
#include "service/UtcTime.h"
#include "service/platform/NativeFile.h"

namespace qtm::cli {
namespace {

#ifdef QTM_HAVE_MQTT
// How long the end of a run waits for a broker to take what is still queued.
constexpr auto kBrokerWait = std::chrono::seconds(10);
#endif

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
    if (bus) {
        // A line of meters: every address, in the order the serials and models follow.
        std::string addresses;
        for (const int address : c.options.addresses)
            addresses += (addresses.empty() ? "" : ",") + std::to_string(address);
        metadata.Add("address", addresses);
    }
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
    LocalTime(now, &local);
    const FileTarget target = ResolveFileTarget(ExpandLogName(*m_context.options.log, local));
    if (const FileResult check = CheckFileTarget(target); !check.Ok()) {
        m_context.err << DescribeFileError(check) << "\n";
        return false;
    }
    return true;
}

bool ReadingSinks::Start() {
    const CliOptions& o = m_context.options;
    if (!o.mqtt) return true;
#ifndef QTM_HAVE_MQTT
    // Said before any meter is read, rather than logging a run that publishes nothing.
    m_context.err << "--mqtt is not available in this build: it has no MQTT library "
                     "(libmosquitto)\n";
    return false;
#else
    std::string why;
    const auto address = ParseMqttAddress(*o.mqtt, &why);
    if (!address) {
        m_context.err << why << "\n";
        return false;
    }
    MqttSettings settings;
    settings.host = address->first;
    settings.port = address->second;
    settings.prefix = o.mqttPrefix;
    settings.user = o.mqttUser;
    if (o.mqttUser) {
        settings.password = MqttPasswordFromEnvironment();
        if (!settings.password) {
            m_context.err << "--mqtt-user needs the password in the environment variable "
                          << kMqttPasswordVariable << "\n";
            return false;
        }
    }
    settings.tls = o.mqttTls;
    settings.caFile = o.mqttCaFile;
    settings.discovery = o.mqttDiscovery;
    auto publisher = std::make_unique<MqttPublisher>(std::move(settings));
    publisher->OnEvent([this](const MqttEvent& event) {
        std::lock_guard lock(m_newsMutex);
        m_news.push_back({event.kind == MqttEventKind::Connected, event.text});
    });
    // The meters named so far go first, so the first connection carries their will.
    for (const auto& [serial, meter] : m_pendingMeters)
        publisher->AddMeter(serial, meter.first, meter.second, "\u00b0C");
    if (!publisher->Start(&why)) {
        m_context.err << why << "\n";
        return false;
    }
    m_mqtt = std::move(publisher);
    return true;
#endif
}

void ReadingSinks::AddMeter(const ReadingObject& blank, std::string_view model) {
    if (!m_context.options.mqtt || !m_meters.insert(blank.serial).second) return;
#ifdef QTM_HAVE_MQTT
    if (m_mqtt) {
        m_mqtt->AddMeter(blank.serial, std::string(model), blank.unit, "\u00b0C");
        return;
    }
#endif
    m_pendingMeters[blank.serial] = {std::string(model), std::string(blank.unit)};
}

void ReadingSinks::TellNews() {
    std::vector<std::pair<bool, std::string>> news;
    {
        std::lock_guard lock(m_newsMutex);
        news.swap(m_news);
    }
    // A connection is news; a lost broker or dropped readings are complaints.
    for (const auto& [good, line] : news)
        (good ? m_context.talk : m_context.err) << line << "\n";
}

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
#ifdef QTM_HAVE_MQTT
    if (m_mqtt) {
        // Queued only: the broker never makes the files or the meter wait.
        m_mqtt->Publish(m_columns, reading);
        TellNews();
    }
#endif
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
#ifdef QTM_HAVE_MQTT
    if (m_mqtt) TellNews();
#endif
    if (m_context.options.format == OutputFormat::Text && m_textShown)
        Lines() << textLine << std::endl;
}

bool ReadingSinks::Finish(std::string_view unit) {
#ifdef QTM_HAVE_MQTT
    if (m_mqtt) {
        const std::size_t left = m_mqtt->Finish(kBrokerWait);
        TellNews();
        if (left > 0) {
            m_context.err << left << (left == 1 ? " reading was" : " readings were")
                          << " not delivered to the broker " << *m_context.options.mqtt << "\n";
            m_ok = false;
        }
        m_mqtt.reset();
    }
#endif
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
