#include "cli/CliData.h"

#include "cli/CliRunner.h"
#include "service/CsvFile.h"
#include "service/CsvFormat.h"
#include "service/CsvLog.h"
#include "service/ReadingBuffer.h"
#include "service/ReadingFormat.h"
#include "service/RecordImport.h"

namespace qtm::cli {

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
    const auto found = FindUsbMeter(c);
    if (!found) return kExitFailed;
    const std::string model = c.options.model.value_or(*found);
    const auto stored = ReadStoredCount(c.link);
    if (!stored) {
        const bool sent = !c.link.LastOpenError().Failed();
        c.err << "the record memory could not be read: "
              << (sent ? "the meter did not answer" : SendFailure(c.link)) << "\n";
        return kExitFailed;
    }

    ReadingBuffer buffer(static_cast<std::size_t>(kMaxImportPages * kRecordsPerPage));
    const ImportOutcome outcome =
        ImportPages(c.link, PagesOfStoredCount(*stored), [&](const PageResult& page) {
            const std::size_t first = buffer.Count();
            AppendPageRecords(buffer, page);
            if (page.status == PageStatus::NotSent) {
                c.err << "page " << page.page << " could not be read: " << SendFailure(c.link)
                      << "\n";
            } else if (page.status == PageStatus::Short) {
                c.err << "page " << page.page
                      << " came in short; its missing readings are taken as 0\n";
            }
            if (!c.options.csv) {
                for (std::size_t i = first; i < buffer.Count(); ++i)
                    c.out << FormatImportLine(buffer[i].number, buffer[i].power) << "\n";
                c.out.flush();
            }
            return true;
        });

    int status = outcome.Complete() ? kExitOk : kExitFailed;
    if (c.options.csv) {
        const FileResult written =
            WriteCsvFile(*c.options.csv, CsvHeaderOfModel(model), buffer.Records());
        if (!written.Ok()) {
            c.err << DescribeFileError(written) << "\n";
            status = kExitFailed;
        }
    }
    return status;
}

LiveCsvLog::LiveCsvLog() = default;
LiveCsvLog::~LiveCsvLog() = default;

bool LiveCsvLog::Open(CommandContext& c, std::string_view model) {
    if (!c.options.csv) return true;
    m_file = std::make_unique<CsvAppender>();
    const FileResult opened = m_file->Open(*c.options.csv, CsvHeaderOfModel(model));
    if (opened.Ok()) return true;
    c.err << DescribeFileError(opened) << "\n";
    m_file.reset();
    return false;
}

void LiveCsvLog::Add(CommandContext& c, float power, double energy, float seconds) {
    if (!m_file || !m_ok) return;
    if (!m_file->Append(MeasurementRecord{++m_number, power, energy, seconds})) {
        c.err << DescribeFileError(m_file->LastError()) << "\n";
        m_ok = false;
    }
}

}  // namespace qtm::cli
