// The window program's command line, arguments split at zero bytes and decoded as UTF-8.
// Must never: crash, accept a line and still give an error, refuse one without saying
// why, take an empty port path, or take a negative time for closing messages.
#include <QString>
#include <QStringList>
#include <cstdint>

#include "FuzzInput.h"
#include "console/LaunchOptions.h"

using namespace qtm::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString line =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList args = line.split(QChar(0));
    const LaunchParse parse = ParseLaunchOptions(args);
    if (parse.ok) {
        QTM_FUZZ_CHECK(parse.error.isEmpty());
        for (const std::string& port : parse.options.ports)
            QTM_FUZZ_CHECK(!port.empty());
        QTM_FUZZ_CHECK(parse.options.dismissMessagesMs >= -1);
        if (parse.options.simulate && !parse.options.simulateModel.empty())
            QTM_FUZZ_CHECK(IsUtf8(parse.options.simulateModel));
    } else {
        QTM_FUZZ_CHECK(!parse.error.isEmpty());
    }
    return 0;
}
