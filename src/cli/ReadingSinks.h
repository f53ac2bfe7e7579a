// Where the readings of a live run or an import go besides the --csv file: the text lines
// or the reading object (csv, jsonl) on standard output, the self-describing --log file and
// the --stats summary. The commands hand it one reading at a time.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/LiveClock.h"
#include "service/MeterIdentity.h"
#include "service/ReadingLog.h"
#include "service/ReadingObject.h"
#include "service/ReadingStats.h"

namespace qtm {
class MqttPublisher;
}

namespace qtm::cli {

class ReadingSinks {
public:
    using Clock = ReadingLogWriter::Clock;

    ReadingSinks(CommandContext& context, ReadingColumns columns, Clock clock);
    ~ReadingSinks();

    // Before the meter is asked anything: the --log file's place can be written. False
    // after telling the user why not.
    bool Check();
    // What the --log file's metadata block says; given before the first reading.
    void SetMetadata(LogMetadata metadata) { m_metadata = std::move(metadata); }
    // Whether --format text prints the readings' lines (an import into a --csv file does not).
    void ShowText(bool shown) { m_textShown = shown; }

    // Connects what must be connected before the first reading (the MQTT broker); false
    // after telling the user why the run cannot start.
    bool Start();
    // A meter takes part in the run (again, after it came back): the publisher announces
    // it. blank carries its serial, units and address.
    void AddMeter(const ReadingObject& blank, std::string_view model);

    // A reading: its text line (for --format text) and its object, whose n is set here.
    // False after telling the user that --log could not be written: the run stops there.
    bool Add(const std::string& textLine, ReadingObject reading);
    // A pass without a reading: only the text output shows it.
    void NoReading(const std::string& textLine);
    // Closes the --log file and prints the --stats line (unit: the power's); false after
    // telling the user that the file's end could not be written.
    bool Finish(std::string_view unit);

    // Where the text lines go: standard output, or standard error when a file uses it.
    std::ostream& Lines();
    std::int64_t Written() const { return m_written; }

private:
    CommandContext& m_context;
    ReadingColumns m_columns;
    Clock m_clock;
    LogMetadata m_metadata;
    std::unique_ptr<ReadingLogWriter> m_log;
    ReadingStats m_stats;
    std::set<std::string> m_meters;  // the serials announced to the broker
    // Meters named before the publisher started: serial to model and power unit.
    std::map<std::string, std::pair<std::string, std::string>> m_pendingMeters;
    // The publisher's news, from its network thread, told on the run's thread.
    std::mutex m_newsMutex;
    std::vector<std::pair<bool, std::string>> m_news;  // good news first: a connection
    // After the news it writes to, so its thread has stopped before they go.
#ifdef QTM_HAVE_MQTT
    std::unique_ptr<MqttPublisher> m_mqtt;
#endif
    void TellNews();
    std::string m_line;  // reused, so a reading costs no allocation
    std::int64_t m_written = 0;
    bool m_ok = true;
    bool m_textShown = true;
};

// Whether the run's outputs carry the meter's serial number, which costs a read.
inline bool WantsSerial(const CliOptions& o) {
    return o.format != OutputFormat::Text || o.log.has_value() || o.mqtt.has_value();
}

// The --log metadata every run starts with: program, version, when it started (UTC), the
// port, the link and, on the bus, the address.
LogMetadata RunMetadata(const CommandContext& context, WallTime started, std::string_view port);
// Adds the meter's model and what of its USB identity came whole (serial, band, range, cal,
// k, savetime): a file must not pass a cut reply off as the meter's.
void AddIdentity(LogMetadata& metadata, std::string_view model, const IdentityRead& identity);
// The serial number, without the spaces that pad its field, when it came whole; else empty.
std::string WholeSerial(const IdentityRead& identity);

}  // namespace qtm::cli
