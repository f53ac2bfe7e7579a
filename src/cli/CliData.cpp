#include "cli/CliData.h"

#include <sys/stat.h>

#include "cli/CliRunner.h"
#include "device/platform/PortHold.h"
#include "service/CsvFile.h"
#include "service/CsvFormat.h"
#include "service/FileTarget.h"
#include "service/ReadingBuffer.h"
#include "service/ReadingFormat.h"
#include "service/RecordImport.h"

namespace qtm::cli {
namespace {

bool Exists(const std::filesystem::path& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
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
    const auto found = FindUsbMeter(c);
    if (!found) return kExitFailed;
    PortHold hold;
    if (!HoldPort(c, c.link.PortName(), hold)) return kExitFailed;
    const std::string model = c.options.model.value_or(*found);
    const auto stored = ReadStoredCount(c.link);
    if (!stored) {
        const bool sent = !c.link.LastOpenError().Failed();
        c.err << "the record memory could not be read: "
              << (sent ? "the meter did not answer" : SendFailure(c.link)) << "\n";
        return kExitFailed;
    }

    ReadingBuffer buffer(static_cast<std::size_t>(kMaxImportPages * kRecordsPerPage));
    std::string sendFailure;  // why the last page was not sent, when it was not
    const ImportOutcome outcome =
        ImportPages(c.link, PagesOfStoredCount(*stored), [&](const PageResult& page) {
            const std::size_t first = buffer.Count();
            AppendPageRecords(buffer, page);
            sendFailure = page.status == PageStatus::NotSent ? SendFailure(c.link) : "";
            if (!c.options.csv) {
                for (std::size_t i = first; i < buffer.Count(); ++i)
                    c.out << FormatImportLine(buffer[i].number, buffer[i].power) << "\n";
                c.out.flush();
            }
            return true;
        });
    hold.Release();

    std::string sentence = DescribeImportShortfall(outcome);
    if (!sentence.empty() && !sendFailure.empty()) sentence += " (" + sendFailure + ")";
    bool fileOk = true;
    if (c.options.csv) sentence += WriteImported(c, target, outcome, buffer, model, &fileOk);
    if (!sentence.empty()) c.err << sentence << "\n";
    return outcome.Complete() && fileOk ? kExitOk : kExitFailed;
}

}  // namespace qtm::cli
