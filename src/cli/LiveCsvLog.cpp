#include "cli/LiveCsvLog.h"

#include "service/CsvFormat.h"
#include "service/CsvLog.h"
#include "service/platform/NativeFile.h"

namespace qtm::cli {
namespace {

bool IsRegularFile(const std::filesystem::path& path) {
    FileKind kind{};
    return KindOf(Utf8Of(path), &kind) == 0 && kind == FileKind::Regular;
}

// A file sentence without its full stop, to go on with "; ...".
std::string WithoutStop(std::string sentence) {
    if (!sentence.empty() && sentence.back() == '.') sentence.pop_back();
    return sentence;
}

}  // namespace

LiveCsvLog::LiveCsvLog() = default;
LiveCsvLog::~LiveCsvLog() = default;

bool LiveCsvLog::Check(CommandContext& c) {
    if (!c.options.csv) return true;
    const std::string& name = *c.options.csv;
    m_target = ResolveFileTarget(name);
    if (m_target.kind == TargetKind::InPlace || !IsRegularFile(m_target.path)) return true;
    switch (c.options.csvExisting) {
        case CsvExisting::Overwrite:
            return true;
        case CsvExisting::Refuse:
            c.err << name
                  << " already exists: give --append to add this run's readings to it or "
                     "--overwrite to replace it\n";
            return false;
        case CsvExisting::Append:
            break;
    }
    // Whether it is a file of ours at all is known now; its header is checked against the
    // meter's model once the meter has named it.
    FileResult error;
    const auto plan = PlanContinuation(m_target.path, {}, &error);
    if (!plan) {
        c.err << DescribeFileError(error) << "\n";
        return false;
    }
    if (plan->verdict == ContinueVerdict::NotOurs) {
        c.err << name << " is not a CSV file this program wrote, so --append does not add to it\n";
        return false;
    }
    m_continue = true;
    return true;
}

bool LiveCsvLog::Open(CommandContext& c, std::string_view model) {
    if (!c.options.csv) return true;
    const std::string& name = *c.options.csv;
    const std::u16string_view header = CsvHeaderOfModel(model);
    FileResult opened;
    if (m_target.kind == TargetKind::InPlace) {
        c.out.flush();
        m_file = std::make_unique<CsvAppender>();
        opened = m_file->StartInPlace(m_target, header);
    } else if (m_continue) {
        const auto plan = PlanContinuation(m_target.path, header, &opened);
        if (plan && plan->verdict == ContinueVerdict::OtherHeader) {
            c.err << name << " holds the readings of another kind of meter, so readings of "
                  << model << " are not added to it\n";
            return false;
        }
        if (plan && plan->verdict == ContinueVerdict::NotOurs) {
            c.err << name
                  << " is not a CSV file this program wrote, so --append does not add to it\n";
            return false;
        }
        if (plan) {
            m_number = plan->lastNumber;
            m_file = std::make_unique<CsvAppender>();
            opened = m_file->Continue(m_target.path, *plan, header);
        }
    } else {
        m_file = std::make_unique<CsvAppender>();
        opened = m_file->Open(name, header);
    }
    if (opened.Ok()) return true;
    c.err << DescribeFileError(opened) << "\n";
    m_file.reset();
    return false;
}

bool LiveCsvLog::Add(CommandContext& c, int pass, float power, double energy, float seconds) {
    if (!m_ok) return false;
    if (!m_file) return true;
    const MeasurementRecord record{m_number + 1, power, energy, seconds};
    const bool written = m_file->Append(record);
    if (written) {
        ++m_number;
        return true;
    }
    const FileResult& error = m_file->LastError();
    c.err << WithoutStop(DescribeFileError(error)) << "; the run stopped at pass " << pass << "\n";
    m_ok = false;
    return false;
}

bool LiveCsvLog::Finish(CommandContext& c) {
    if (!m_file) return m_ok;
    const FileResult closed = m_file->CloseSynced();
    m_file.reset();
    if (!closed.Ok() && m_ok) {
        c.err << DescribeFileError(closed) << "\n";
        m_ok = false;
    }
    return m_ok;
}

}  // namespace qtm::cli
