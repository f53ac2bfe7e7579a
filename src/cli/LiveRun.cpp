#include "cli/LiveRun.h"

#include <cmath>
#include <map>
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
// How often --keep-going tries a lost meter again.
constexpr auto kRetryEvery = std::chrono::seconds(5);

// What one pass gave.
struct PassResult {
    std::vector<ReadingObject> readings;  // one per meter that gave a reading
    std::vector<int> silent;              // the meters that gave none (0: the USB meter)
    bool dropped = false;                 // a stop cut the pass short: it does not count
    bool lost = false;                    // the meter (or every meter) is gone
};

// "42 s", "3 min 12 s", "2 h 5 min": the length of a gap as a person reads it.
std::string GapText(std::chrono::steady_clock::duration gap) {
    const auto s = std::chrono::duration_cast<std::chrono::seconds>(gap).count();
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

// The part of a run that knows its link: one pass, its text lines, the --log metadata,
// and getting a lost meter back.
class LivePass {
public:
    virtual ~LivePass() = default;
    virtual PassResult Read(const std::atomic<bool>& stop) = 0;
    virtual std::string Line(std::int64_t slot, const ReadingObject& reading) const = 0;
    virtual std::string NoReadingLine(std::int64_t slot, int meter) const = 0;
    // first is the run's first reading, for what only the readings tell.
    virtual LogMetadata Metadata(const ReadingObject& first) const = 0;
    // --keep-going: opens the port again after the meter was lost (it may have been
    // unplugged and plugged in again); true when it could be.
    virtual bool Reopen() = 0;
    // The meters announce themselves to the outputs (again after a loss: the meter that
    // came back may be another one).
    virtual void Announce(ReadingSinks& sinks) = 0;
    // One sentence naming the meters of the line that never gave a reading; empty when
    // every one did (or there is only one, whose silence the watch tells).
    virtual std::string NeverRead() const { return {}; }
};

class UsbPass final : public LivePass {
public:
    UsbPass(CommandContext& c, LiveRunWatch& watch, PortHold& hold, std::string model,
            ReadingObject blank, WallTime started)
        : m_c(c),
          m_watch(watch),
          m_hold(hold),
          m_model(std::move(model)),
          m_blank(std::move(blank)),
          m_started(started) {
        ReadSerial();
    }

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
            result.readings.push_back(std::move(reading));
        } else {
            result.silent.push_back(0);
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

    std::string NoReadingLine(std::int64_t slot, int) const override {
        return FormatNoReadingLine(static_cast<int>(slot));
    }

    LogMetadata Metadata(const ReadingObject&) const override {
        LogMetadata m = RunMetadata(m_c, m_started, m_c.link.PortName());
        AddIdentity(m, m_model, m_identity);
        return m;
    }

    bool Reopen() override {
        // The adapter may come back under another name: the meter is looked for anew.
        m_hold.Release();
        m_c.link.EnumeratePorts();
        std::string found;
        if (m_c.link.FindMeter(found) != 0) return false;
        PortError error;
        if (!m_hold.Take(m_c.link.PortName(), &error)) return false;
        ReadSerial();
        return true;
    }

    void Announce(ReadingSinks& sinks) override { sinks.AddMeter(m_blank, m_model); }

private:
    void ReadSerial() {
        if (!WantsSerial(m_c.options)) return;
        m_identity = ReadIdentity(m_c.link);
        m_blank.serial = WholeSerial(m_identity);
    }

    CommandContext& m_c;
    LiveRunWatch& m_watch;
    PortHold& m_hold;
    std::string m_model;
    ReadingObject m_blank;
    IdentityRead m_identity;
    WallTime m_started;
    LiveValues m_values;
};

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

// Every meter on the line, read in turn in each pass. A meter that stops answering is
// told once and skipped while the others go on; it is told again when it is back.
class BusPass final : public LivePass {
public:
    BusPass(CommandContext& c, LiveRunWatch& watch, PortHold& hold, WallTime started)
        : m_c(c), m_watch(watch), m_hold(hold), m_started(started) {
        for (const int address : c.options.addresses) {
            Meter meter;
            meter.address = address;
            meter.model = BusModel(c, static_cast<std::uint8_t>(address));
            const ReadingUnits units = ListUnitsOfModel(meter.model);
            meter.blank.unit = units.power;
            meter.blank.energyUnit = units.energy;
            meter.blank.address = address;
            ReadSerial(meter);
            m_meters.push_back(std::move(meter));
        }
    }

    bool Several() const { return m_meters.size() > 1; }
    std::string_view PowerUnit() const { return m_meters.front().blank.unit; }

    PassResult Read(const std::atomic<bool>&) override {
        PassResult result;
        for (Meter& meter : m_meters) {
            // One transaction per meter: it is finished rather than cut.
            const auto values =
                ReadBusLiveValues(m_c.link, static_cast<std::uint8_t>(meter.address));
            if (!values) {
                result.silent.push_back(meter.address);
                if (meter.answering && Several() && !m_c.link.BusPortFailed())
                    m_c.err << "no answer from the meter at address " << meter.address << " on "
                            << m_c.busPort << "; the others go on\n";
                if (meter.answering) meter.silentSince = m_c.clock.Now();
                meter.answering = false;
                continue;
            }
            if (!meter.answering) {
                if (Several())
                    m_c.talk << "the meter at address " << meter.address << " is back after "
                             << GapText(m_c.clock.Now() - meter.silentSince) << "\n";
                // The meter that answers may be another one put in its place.
                ReadSerial(meter);
                m_announced = false;
            }
            meter.answering = true;
            meter.everRead = true;
            ReadingObject reading = meter.blank;
            reading.time = m_c.clock.WallNow();  // each meter of the line when it was read
            reading.power = values->power;
            reading.temperature = values->temperature;
            reading.voltage = values->voltage;
            reading.ad = values->ad;
            reading.zero = values->zero;
            reading.cal = values->cal;
            reading.calK = values->calK;
            reading.k = values->k;
            result.readings.push_back(std::move(reading));
        }
        result.lost = !m_watch.BusPass(!result.readings.empty(), m_c.link.BusPortFailed());
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
        return WithAddress(FormatBusLiveLine(static_cast<int>(slot), values, Of(r.address).model),
                           r.address);
    }

    std::string NoReadingLine(std::int64_t slot, int address) const override {
        return WithAddress(FormatNoReadingLine(static_cast<int>(slot)), address);
    }

    LogMetadata Metadata(const ReadingObject& first) const override {
        LogMetadata m = RunMetadata(m_c, m_started, m_c.busPort);
        if (Several()) {
            // One file for the whole line: each list in the order of the addresses.
            std::string serials;
            std::string models;
            for (const Meter& meter : m_meters) {
                serials += (serials.empty() ? "" : ",") + meter.blank.serial;
                models += (models.empty() ? "" : ",") + meter.model;
            }
            return m.Add("serial", serials).Add("model", models);
        }
        if (!first.serial.empty()) m.Add("serial", first.serial);
        m.Add("model", m_meters.front().model).Add("cal", JsonNumber(first.cal));
        m.Add("k", JsonNumber(first.k)).Add("calk", JsonNumber(first.calK));
        return m;
    }

    bool Reopen() override {
        m_c.link.CloseBusPort();
        m_hold.Release();
        PortError error;
        if (!m_hold.Take(m_c.busPort, &error)) return false;
        if (m_c.link.OpenBusPort(m_c.busPort, MeterLink::kUsbBaudRate) != 0) return false;
        for (Meter& meter : m_meters)
            ReadSerial(meter);
        m_announced = false;
        return true;
    }

    void Announce(ReadingSinks& sinks) override {
        if (m_announced) return;
        for (const Meter& meter : m_meters)
            sinks.AddMeter(meter.blank, meter.model);
        m_announced = true;
    }

    const std::string& FirstModel() const { return m_meters.front().model; }

    std::string NeverRead() const override {
        std::string addresses;
        for (const Meter& meter : m_meters) {
            if (!meter.everRead)
                addresses += (addresses.empty() ? "" : ", ") + std::to_string(meter.address);
        }
        if (addresses.empty() || !Several()) return {};
        return "no reading at all from the meter at address " + addresses;
    }

private:
    struct Meter {
        int address = 0;
        std::string model;
        ReadingObject blank;
        bool answering = true;
        bool everRead = false;
        SteadyTime silentSince{};
    };

    void ReadSerial(Meter& meter) {
        if (!WantsSerial(m_c.options)) return;
        meter.blank.serial.clear();
        if (const auto id = ReadBusIdentity(m_c.link, static_cast<std::uint8_t>(meter.address)))
            meter.blank.serial = FormatBusSerialNumber(id->serialNumber);
    }
    const Meter& Of(int address) const {
        for (const Meter& meter : m_meters)
            if (meter.address == address) return meter;
        return m_meters.front();
    }
    // With several meters each line says which one it is: "N addr=A ...".
    std::string WithAddress(std::string line, int address) const {
        if (!Several()) return line;
        const std::size_t space = line.find(' ');
        return line.insert(space + 1, "addr=" + std::to_string(address) + " ");
    }

    CommandContext& m_c;
    LiveRunWatch& m_watch;
    PortHold& m_hold;
    WallTime m_started;
    std::vector<Meter> m_meters;
    bool m_announced = false;
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
class PassLoop {
public:
    PassLoop(CommandContext& c, LivePass& pass, LiveRunWatch& watch, ReadingSinks& sinks,
             LiveCsvLog& csv, const LiveLimits& limits, std::string port)
        : m_c(c),
          m_pass(pass),
          m_watch(watch),
          m_sinks(sinks),
          m_csv(csv),
          m_limits(limits),
          m_port(std::move(port)),
          m_schedule(limits, c.clock.Now()) {}

    bool Run() {
        LiveClock& clock = m_c.clock;
        m_pass.Announce(m_sinks);
        while (true) {
            if (!TakeEnded(clock.Now())) return false;
            const auto next = m_schedule.NextPass(clock.Now());
            const auto due = m_schedule.OpenIntervalEnd();
            if (!next && !due) return true;
            const SteadyTime wake = next && due ? std::min(*next, *due) : next ? *next : *due;
            if (!clock.SleepUntil(wake, m_c.stop)) return true;
            const SteadyTime at = clock.Now();
            if (!next || at < *next) continue;
            // The run may have reached its end (a count of intervals, its duration) in the wait.
            if (!m_schedule.NextPass(at)) continue;

            PassResult result = m_pass.Read(m_c.stop);
            if (result.dropped) return true;
            if (!Take(at, result)) return false;
            if (result.lost && (!m_c.options.keepGoing || !WaitForTheMeter(at))) return true;
        }
    }

private:
    // A pass's readings, or their interval's share.
    bool Take(SteadyTime at, const PassResult& result) {
        const SteadyTime now = m_c.clock.Now();
        const WallTime wall =
            m_c.clock.WallNow() - std::chrono::duration_cast<WallTime::duration>(now - at);
        if (!TakeEnded(at)) return false;
        const std::int64_t slot = m_schedule.PassDone(at, m_c.clock.Now());
        if (!result.readings.empty()) m_lastReading = at;
        for (ReadingObject reading : result.readings) {
            if (!reading.time) reading.time = wall;
            if (m_limits.average) {
                m_means[reading.address].Add(reading);
            } else if (!Emit(slot, reading)) {
                return false;
            }
        }
        if (!m_limits.average) {
            for (const int meter : result.silent)
                m_sinks.NoReading(m_pass.NoReadingLine(slot, meter));
        }
        return true;
    }

    bool Emit(std::int64_t slot, const ReadingObject& reading) {
        if (!m_described) {
            m_sinks.SetMetadata(m_pass.Metadata(reading));
            m_described = true;
        }
        // The files before the screen: a reading the user saw is in them if the run is killed.
        if (!m_csv.Add(m_c, static_cast<int>(slot), reading.power, reading.energy, reading.seconds))
            return false;
        return m_sinks.Add(m_pass.Line(slot, reading), reading);
    }

    // The reading of every averaged interval that has ended by now, timed at its end.
    bool TakeEnded(SteadyTime now) {
        while (const auto ended = m_schedule.EndedInterval(now)) {
            const auto late = m_c.clock.Now() - ended->end;
            const WallTime end =
                m_c.clock.WallNow() - std::chrono::duration_cast<WallTime::duration>(late);
            bool fine = true;
            if (m_means.empty()) m_sinks.NoReading(m_pass.NoReadingLine(ended->number, 0));
            for (auto& [address, mean] : m_means) {
                ReadingObject reading = mean.Mean();
                reading.time = end;
                fine = fine && Emit(ended->number, reading);
            }
            m_means.clear();
            m_schedule.TakeInterval();
            if (!fine) return false;
        }
        return true;
    }

    // --keep-going: says the meter is lost, tries again every few seconds until it answers
    // (true) or the run ends (false), and says when it is back and after how long.
    bool WaitForTheMeter(SteadyTime lostAt) {
        LiveClock& clock = m_c.clock;
        m_c.err << m_watch.Summary() << "; trying again every "
                << std::chrono::duration_cast<std::chrono::seconds>(kRetryEvery).count() << " s\n";
        const SteadyTime since = m_lastReading.value_or(lostAt);
        SteadyTime retry = clock.Now();
        while (true) {
            retry += kRetryEvery;
            if (!m_schedule.NextPass(retry)) return false;  // the run's count or time is up
            if (!clock.SleepUntil(retry, m_c.stop)) return false;
            if (!m_pass.Reopen()) continue;
            const SteadyTime at = clock.Now();
            PassResult result = m_pass.Read(m_c.stop);
            if (result.dropped) return false;
            if (result.readings.empty()) continue;
            m_watch.Recovered();
            m_c.talk << "the meter on " << m_port << " is back after " << GapText(at - since)
                     << "\n";
            m_pass.Announce(m_sinks);
            return Take(at, result);
        }
    }

    CommandContext& m_c;
    LivePass& m_pass;
    LiveRunWatch& m_watch;
    ReadingSinks& m_sinks;
    LiveCsvLog& m_csv;
    LiveLimits m_limits;
    std::string m_port;
    LiveSchedule m_schedule;
    std::map<int, ReadingMean> m_means;  // averaging: by address, in address order
    std::optional<SteadyTime> m_lastReading;
    bool m_described = false;
};

// Runs the passes and ends the run: files closed, the watch's sentence, the stats line.
int FinishRun(CommandContext& c, PassLoop& loop, const LivePass& pass, ReadingSinks& sinks,
              LiveCsvLog& csv, const LiveRunWatch& watch, std::string_view unit) {
    bool ok = false;
    {
        std::optional<StopOnSignals> signals;
        if (c.catchSignals) signals.emplace();
        ok = loop.Run();
    }
    if (const std::string summary = watch.Summary(); !summary.empty()) c.err << summary << "\n";
    const std::string neverRead = pass.NeverRead();
    if (!neverRead.empty()) c.err << neverRead << "\n";
    ok = sinks.Finish(unit) && ok;
    ok = csv.Finish(c) && ok;
    if (!ok || !neverRead.empty()) return kExitFailed;
    // --keep-going outlives a loss: what fails the run then is a meter never read.
    if (c.options.keepGoing) return watch.AnyReading() ? kExitOk : kExitFailed;
    return watch.Status();
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
    ReadingObject blank;
    const ReadingUnits units = ListUnitsOfModel(model);
    blank.unit = units.power;
    blank.energyUnit = units.energy;
    LiveRunWatch watch(c.link.PortName());
    UsbPass pass(c, watch, hold, model, std::move(blank), started);
    pass.Announce(sinks);
    if (!sinks.Start() || !csv.Open(c, model)) return kExitFailed;
    PassLoop loop(c, pass, watch, sinks, csv, LimitsOf(c.options, {}), c.link.PortName());
    return FinishRun(c, loop, pass, sinks, csv, watch, units.power);
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
    LiveRunWatch watch(c.busPort);
    BusPass pass(c, watch, hold, started);
    // One --csv file takes one header: the first meter's model names its columns.
    int status = kExitFailed;
    pass.Announce(sinks);
    if (sinks.Start() && csv.Open(c, pass.FirstModel())) {
        PassLoop loop(c, pass, watch, sinks, csv, LimitsOf(c.options, kBusPassPause), c.busPort);
        status = FinishRun(c, loop, pass, sinks, csv, watch, pass.PowerUnit());
    }
    // The bus port closes before the hold ends, so no other program slips in between.
    c.link.CloseBusPort();
    return status;
}

}  // namespace

int RunLive(CommandContext& c) {
    return c.options.link == Link::Rs485 ? BusLive(c) : UsbLive(c);
}

}  // namespace qtm::cli
