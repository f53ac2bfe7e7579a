#include "cli/LiveRun.h"

#include <cmath>
#include <functional>
#include <optional>

#include "cli/CliRunner.h"
#include "cli/LiveCsvLog.h"
#include "cli/LiveRunWatch.h"
#include "cli/LiveSchedule.h"
#include "cli/ReadingMean.h"
#include "cli/ReadingSinks.h"
#include "service/JsonText.h"
#include "service/MeterIdentity.h"
#include "service/ModelCatalog.h"

namespace qtm::cli {
namespace {

// An RS-485 pass waits this long before its block read, as the window's loop does, so
// a logging run does not keep the bus busy.
constexpr auto kBusPassPause = std::chrono::milliseconds(1000);

// What one pass gave.
struct PassResult {
    std::optional<ReadingObject> reading;  // nothing: the pass gave no reading
    bool dropped = false;                  // a stop cut the pass short: it does not count
    bool lost = false;                     // the meter is gone: the run ends
};

// The part of a run that knows its link: one pass, its text line and what the --log
// file's metadata says about the meter.
class LivePass {
public:
    virtual ~LivePass() = default;
    virtual PassResult Read(const std::atomic<bool>& stop) = 0;
    virtual std::string Line(std::int64_t slot, const ReadingObject& reading) const = 0;
    // first is the run's first reading, for what only the readings tell.
    virtual LogMetadata Metadata(const ReadingObject& first) const = 0;
};

class UsbPass final : public LivePass {
public:
    UsbPass(CommandContext& c, LiveRunWatch& watch, std::string model, ReadingObject blank,
            IdentityRead identity, WallTime started)
        : m_c(c),
          m_watch(watch),
          m_model(std::move(model)),
          m_blank(std::move(blank)),
          m_identity(std::move(identity)),
          m_started(started) {}

    PassResult Read(const std::atomic<bool>& stop) override {
        m_values = ReadLiveValues(m_c.link, m_values, [&stop] { return !stop.load(); });
        PassResult result;
        if (!m_values.powerOk && stop.load()) {
            result.dropped = true;
            return result;
        }
        if (m_values.powerOk) {
            ReadingObject reading = m_blank;
            reading.power = m_values.power;
            reading.energy = m_values.energy;
            reading.seconds = m_values.EnergySeconds();
            reading.temperature = m_values.temperature;
            reading.voltage = m_values.voltage;
            reading.ad = m_values.ad;
            result.reading = std::move(reading);
        }
        result.lost = !m_watch.UsbPass(m_values, m_c.link.LastOpenError());
        return result;
    }

    std::string Line(std::int64_t slot, const ReadingObject& r) const override {
        LiveValues values;
        values.power = r.power;
        values.energy = r.energy;
        values.energyTimeTenths = static_cast<std::int32_t>(std::lround(r.seconds * 10.0));
        values.temperature = r.temperature;
        values.voltage = r.voltage;
        values.ad = r.ad;
        return FormatUsbLiveLine(static_cast<int>(slot), values, m_model);
    }

    LogMetadata Metadata(const ReadingObject&) const override {
        LogMetadata m = RunMetadata(m_c, m_started, m_c.link.PortName());
        AddIdentity(m, m_model, m_identity);
        return m;
    }

private:
    CommandContext& m_c;
    LiveRunWatch& m_watch;
    std::string m_model;
    ReadingObject m_blank;
    IdentityRead m_identity;
    WallTime m_started;
    LiveValues m_values;
};

class BusPass final : public LivePass {
public:
    BusPass(CommandContext& c, LiveRunWatch& watch, std::string model, ReadingObject blank,
            WallTime started)
        : m_c(c),
          m_watch(watch),
          m_model(std::move(model)),
          m_blank(std::move(blank)),
          m_started(started) {}

    PassResult Read(const std::atomic<bool>&) override {
        // One transaction: it is finished rather than cut.
        const auto values =
            ReadBusLiveValues(m_c.link, static_cast<std::uint8_t>(m_c.options.address));
        PassResult result;
        if (values) {
            ReadingObject reading = m_blank;
            reading.power = values->power;
            reading.temperature = values->temperature;
            reading.voltage = values->voltage;
            reading.ad = values->ad;
            reading.zero = values->zero;
            reading.cal = values->cal;
            reading.calK = values->calK;
            reading.k = values->k;
            result.reading = std::move(reading);
        }
        result.lost = !m_watch.BusPass(values.has_value(), m_c.link.BusPortFailed());
        return result;
    }

    std::string Line(std::int64_t slot, const ReadingObject& r) const override {
        BusLiveValues values;
        values.zero = r.zero;
        values.cal = r.cal;
        values.calK = r.calK;
        values.k = r.k;
        values.power = r.power;
        values.ad = r.ad;
        values.voltage = r.voltage;
        values.temperature = r.temperature;
        return FormatBusLiveLine(static_cast<int>(slot), values, m_model);
    }

    LogMetadata Metadata(const ReadingObject& first) const override {
        LogMetadata m = RunMetadata(m_c, m_started, m_c.busPort);
        if (!first.serial.empty()) m.Add("serial", first.serial);
        m.Add("model", m_model).Add("cal", JsonNumber(first.cal)).Add("k", JsonNumber(first.k));
        m.Add("calk", JsonNumber(first.calK));
        return m;
    }

private:
    CommandContext& m_c;
    LiveRunWatch& m_watch;
    std::string m_model;
    ReadingObject m_blank;
    WallTime m_started;
};

LiveLimits LimitsOf(const CliOptions& o, LiveLimits::Duration pause) {
    auto length = [](double seconds) {
        return std::chrono::duration_cast<LiveLimits::Duration>(
            std::chrono::duration<double>(seconds));
    };
    LiveLimits limits;
    limits.count = o.count;
    if (o.duration) limits.duration = length(*o.duration);
    if (o.interval) limits.interval = length(*o.interval);
    limits.average = o.average;
    limits.pause = pause;
    return limits;
}

// The passes, their readings and the end of the run. False when an output failed.
bool RunPasses(CommandContext& c, LivePass& pass, ReadingSinks& sinks, LiveCsvLog& csv,
               const LiveLimits& limits) {
    LiveClock& clock = c.clock;
    LiveSchedule schedule(limits, clock.Now());
    ReadingMean mean;
    bool described = false;

    auto emit = [&](std::int64_t slot, const ReadingObject& reading) {
        if (!described) {
            sinks.SetMetadata(pass.Metadata(reading));
            described = true;
        }
        // The files before the screen: a reading the user saw is in them if the run is killed.
        if (!csv.Add(c, static_cast<int>(slot), reading.power, reading.energy, reading.seconds))
            return false;
        return sinks.Add(pass.Line(slot, reading), reading);
    };
    // The reading of every averaged interval that has ended by now, timed at its end.
    auto takeEnded = [&](SteadyTime now) {
        while (const auto ended = schedule.EndedInterval(now)) {
            bool fine = true;
            if (mean.Count() > 0) {
                ReadingObject reading = mean.Mean();
                const auto late = clock.Now() - ended->end;
                reading.time =
                    clock.WallNow() - std::chrono::duration_cast<WallTime::duration>(late);
                fine = emit(ended->number, reading);
            } else {
                sinks.NoReading(FormatNoReadingLine(static_cast<int>(ended->number)));
            }
            mean.Clear();
            schedule.TakeInterval();
            if (!fine) return false;
        }
        return true;
    };

    while (true) {
        if (!takeEnded(clock.Now())) return false;
        const auto next = schedule.NextPass(clock.Now());
        const auto due = schedule.OpenIntervalEnd();
        if (!next && !due) return true;
        const SteadyTime wake = next && due ? std::min(*next, *due) : next ? *next : *due;
        if (!clock.SleepUntil(wake, c.stop)) return true;
        const SteadyTime at = clock.Now();
        if (!next || at < *next) continue;
        // The run may have reached its end (a count of intervals, its duration) in the wait.
        if (!schedule.NextPass(at)) continue;
        const WallTime wall = clock.WallNow();
        PassResult result = pass.Read(c.stop);
        if (result.dropped) return true;
        if (!takeEnded(at)) return false;
        const std::int64_t slot = schedule.PassDone(at, clock.Now());
        if (result.reading) {
            result.reading->time = wall;
            if (limits.average) {
                mean.Add(*result.reading);
            } else if (!emit(slot, *result.reading)) {
                return false;
            }
        } else if (!limits.average) {
            sinks.NoReading(FormatNoReadingLine(static_cast<int>(slot)));
        }
        if (result.lost) return true;
    }
}

// Runs the passes and ends the run: files closed, the watch's sentence, the stats line.
int FinishRun(CommandContext& c, LivePass& pass, ReadingSinks& sinks, LiveCsvLog& csv,
              const LiveRunWatch& watch, const LiveLimits& limits, std::string_view unit) {
    bool ok = false;
    {
        std::optional<StopOnSignals> signals;
        if (c.catchSignals) signals.emplace();
        ok = RunPasses(c, pass, sinks, csv, limits);
    }
    if (const std::string summary = watch.Summary(); !summary.empty()) c.err << summary << "\n";
    ok = sinks.Finish(unit) && ok;
    ok = csv.Finish(c) && ok;
    return ok ? watch.Status() : kExitFailed;
}

int UsbLive(CommandContext& c) {
    LiveCsvLog csv;
    if (!csv.Check(c)) return kExitFailed;
    ReadingSinks sinks(c, ReadingColumns::UsbLive(), [&c] { return c.clock.WallNow(); });
    if (!sinks.Check()) return kExitFailed;
    const auto found = FindUsbMeter(c);
    if (!found) return kExitFailed;
    // Every request opens the port afresh; the hold keeps it ours in between.
    PortHold hold;
    if (!HoldPort(c, c.link.PortName(), hold)) return kExitFailed;
    const WallTime started = c.clock.WallNow();
    const std::string model = c.options.model.value_or(*found);
    IdentityRead identity;
    if (WantsSerial(c.options)) identity = ReadIdentity(c.link);
    ReadingObject blank;
    const ReadingUnits units = ListUnitsOfModel(model);
    blank.unit = units.power;
    blank.energyUnit = units.energy;
    blank.serial = WholeSerial(identity);
    LiveRunWatch watch(c.link.PortName());
    if (!csv.Open(c, model)) return kExitFailed;
    UsbPass pass(c, watch, model, std::move(blank), std::move(identity), started);
    return FinishRun(c, pass, sinks, csv, watch, LimitsOf(c.options, {}), units.power);
}

// The model whose units the readings take: --model, else the meter's model register.
std::string BusModel(CommandContext& c, std::uint8_t address) {
    if (c.options.model) return *c.options.model;
    if (const auto model = ReadBusModel(c.link, address)) {
        // The register may pad the name with spaces; the catalogue knows it without them.
        const std::size_t end = model->find_last_not_of(' ');
        if (end != std::string::npos) return model->substr(0, end + 1);
    }
    return std::string(kDefaultModel);
}

int BusLive(CommandContext& c) {
    LiveCsvLog csv;
    if (!csv.Check(c)) return kExitFailed;
    ReadingSinks sinks(c, ReadingColumns::BusLive(), [&c] { return c.clock.WallNow(); });
    if (!sinks.Check()) return kExitFailed;
    // The bus port stays open for the run anyway; the hold also covers a reopen.
    PortHold hold;
    if (!HoldPort(c, c.busPort, hold)) return kExitFailed;
    if (!OpenBus(c)) return kExitFailed;
    const WallTime started = c.clock.WallNow();
    const auto address = static_cast<std::uint8_t>(c.options.address);
    const std::string model = BusModel(c, address);
    ReadingObject blank;
    const ReadingUnits units = ListUnitsOfModel(model);
    blank.unit = units.power;
    blank.energyUnit = units.energy;
    blank.address = c.options.address;
    if (WantsSerial(c.options)) {
        if (const auto identity = ReadBusIdentity(c.link, address))
            blank.serial = FormatBusSerialNumber(identity->serialNumber);
    }
    LiveRunWatch watch(c.busPort);
    if (!csv.Open(c, model)) return kExitFailed;
    BusPass pass(c, watch, model, std::move(blank), started);
    const int status =
        FinishRun(c, pass, sinks, csv, watch, LimitsOf(c.options, kBusPassPause), units.power);
    // The bus port closes before the hold ends, so no other program slips in between.
    c.link.CloseBusPort();
    return status;
}

}  // namespace

int RunLive(CommandContext& c) {
    return c.options.link == Link::Rs485 ? BusLive(c) : UsbLive(c);
}

}  // namespace qtm::cli
