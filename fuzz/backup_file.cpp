// The parameter-backup reader, on any file contents (a backup is a file anyone can edit).
// Must never: crash, accept a text without its format line, give a text without the bytes a
// restore would write, or give parameters that do not survive being written and read again
// unchanged.
#include <cstdint>
#include <string>

#include "FuzzInput.h"
#include "service/ParameterBackup.h"

using namespace qtm;
using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const BackupParse parsed = ParseBackup(text);
    QTM_FUZZ_CHECK(parsed.parameters.has_value() == parsed.error.empty());
    if (!parsed.parameters) return 0;
    QTM_FUZZ_CHECK(text.find("format=") != std::string::npos);
    QTM_FUZZ_CHECK(parsed.parameters->serialNumber.has_value());
    for (TextParameter which : kTextParameters) {
        const std::optional<std::string>& bytes = parsed.parameters->TextBytes(which);
        QTM_FUZZ_CHECK(bytes.has_value() == parsed.parameters->Text(which).has_value());
    }

    const std::string written = FormatBackup(*parsed.parameters);
    const BackupParse again = ParseBackup(written);
    QTM_FUZZ_CHECK(again.parameters.has_value());
    QTM_FUZZ_CHECK(FormatBackup(*again.parameters) == written);
    (void)DescribeChanges(DiffParameters(*parsed.parameters, *again.parameters));
    QTM_FUZZ_CHECK(DiffParameters(*parsed.parameters, *again.parameters).empty());
    return 0;
}
