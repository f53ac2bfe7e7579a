#include "cli/CliData.h"

#include "cli/CliRunner.h"
#include "cli/ReadingSinks.h"
#include "device/platform/PortHold.h"
#include "service/CsvFile.h"
#include "service/CsvFormat.h"
#include "service/FileTarget.h"
#include "service/MeterIdentity.h"
#include "service/ReadingBuffer.h"
#include "service/ReadingFormat.h"
#include "service/RecordImport.h"
#include "service/platform/NativeFile.h"

namespace qtm::cli {
namespace {

// name is UTF-8, as the command line gives it.
bool Exists(const std::string& name) {
    FileKind kind{};
    return KindOf(name, &kind, false) == 0;
}

// Writes what an import got and says, in the same sentence as the shortfall, where it went.
// A complete import replaces the file; one that is not leaves a file there as it was and
// puts its readings next to it, so a second try that fails never costs the first's file.
std::string WriteImported(CommandContext& c, const FileTarget& target, const ImportOutcome& outcome,
                          const ReadingBuffer& buffer, std::string_view model, bool* ok) {
    const std::string& name = *c.options.csv;
    const std::u16string_view header = CsvHeaderOfModel(model);
    const std::string count = std::to_string(buffer.Count());
    if (outcome.Complete() || target.kind == TargetKind::InPlace) {
        c.out.flush();
        const FileResult written = WriteCsvFile(name, header, buffer.Records());
        *ok = written.Ok();
        if (!written.Ok()) return (outcome.Complete() ? "" : ". ") + DescribeFileError(written);
        if (outcome.Complete()) return {};
        return "; the " + count + " readings that came were written to " + name;
    }
    const bool existed = Exists(name);
    const std::string left = existed ? name + " is left as it was" : name + " is not written";
    *ok = false;
    if (buffer.Empty()) return "; " + left;
    const std::string partial = name + ".partial";
    const FileResult written = WriteCsvFile(partial, header, buffer.Records());
    if (!written.Ok()) return "; " + left + ". " + DescribeFileError(written);
    return "; the " + count + " readings that came are in " + partial + " and " + left;
}

}  // namespace

std::string FormatImportLine(int number, float value) {
    std::string text;
    std::string unit;
    FormatReading(text, ReadingKind::Plain, value, unit, {});
    return std::to_string(number) + " " + text;
}

int ImportStoredRecords(CommandContext& c) {
    if (c.options.link == Link::Rs485) {
        c.err << "the stored readings can be read over the USB link only\n";
        return kExitFailed;
    }
    // A full memory takes a minute to download: a file that cannot be written is said
    // before that minute, not after it.
    FileTarget target;
    if (c.options.csv) {
        target = ResolveFileTarget(*c.options.csv);
        if (const FileResult check = CheckFileTarget(target); !check.Ok()) {
            c.err << DescribeFileError(check) << "\n";
            return kExitFailed;
        }
    }
    ReadingSinks sinks(c, ReadingColumns::Import(), [&c] { return c.clock.WallNow(); });
    if (!sinks.Check()) return kExitFailed;
    // The lines show the readings unless they go to a file.
    sinks.ShowText(!c.options.csv);
    const auto found = FindUsbMeter(c);
    if (!found) return kExitFailed;
    PortHold hold;
    if (!HoldPort(c, c.link.PortName(), hold)) return kExitFailed;
    const WallTime started = c.clock.WallNow();
    const std::string model = c.options.model.value_or(*found);
    ReadingObject blank;
    blank.unit = ListUnitsOfModel(model).power;
    if (WantsSerial(c.options)) {
        const IdentityRead identity = ReadIdentity(c.link);
        blank.serial = WholeSerial(identity);
        LogMetadata metadata = RunMetadata(c, started, c.link.PortName());
        AddIdentity(metadata, model, identity);
        sinks.SetMetadata(std::move(metadata));
    }
    const auto stored = ReadStoredCount(c.link);
    if (!stored) {
        const bool sent = !c.link.LastOpenError().Failed();
        c.err << "the record memory could not be read: "
              << (sent ? "the meter did not answer" : SendFailure(c.link)) << "\n";
        return kExitFailed;
    }

    ReadingBuffer buffer(static_cast<std::size_t>(kMaxImportPages * kRecordsPerPage));
    std::string sendFailure;  // why the last page was not sent, when it was not
    bool sinksOk = true;
    const int pages = PagesOfStoredCount(*stored);
    std::optional<StopOnSignals> signals;
    if (c.catchSignals) signals.emplace();
    const ImportOutcome outcome = ImportPages(c.link, pages, [&](const PageResult& page) {
        const std::size_t first = buffer.Count();
        AppendPageRecords(buffer, page);
        sendFailure = page.status == PageStatus::NotSent ? SendFailure(c.link) : "";
        for (std::size_t i = first; i < buffer.Count() && sinksOk; ++i) {
            ReadingObject reading = blank;
            reading.power = buffer[i].power;
            sinksOk = sinks.Add(FormatImportLine(buffer[i].number, buffer[i].power), reading);
        }
        // A minute of silence looks like a hang; a pipe or a file is better off without it.
        if (c.talkIsTerminal) c.talk << "\rpage " << page.page + 1 << " of " << pages << std::flush;
        return sinksOk && !c.stop.load();
    });
    signals.reset();
    if (c.talkIsTerminal && outcome.pagesDone > 0) c.talk << "\n";
    hold.Release();
    sinksOk = sinks.Finish(blank.unit) && sinksOk;

    std::string sentence = DescribeImportShortfall(outcome);
    if (!sentence.empty() && !sendFailure.empty()) sentence += " (" + sendFailure + ")";
    bool fileOk = true;
    if (c.options.csv) sentence += WriteImported(c, target, outcome, buffer, model, &fileOk);
    if (!sentence.empty()) c.err << sentence << "\n";
    return outcome.Complete() && fileOk && sinksOk ? kExitOk : kExitFailed;
}

}  // namespace qtm::cli
