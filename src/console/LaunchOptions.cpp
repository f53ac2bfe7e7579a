#include "console/LaunchOptions.h"

#include "qtm/Version.h"

namespace {

constexpr const char* kDismissOption = "--dismiss-messages-after";

LaunchParse Fail(const QString& error) {
    LaunchParse result;
    result.ok = false;
    result.error = error;
    return result;
}

}  // namespace

LaunchParse ParseLaunchOptions(const QStringList& args) {
    LaunchParse result;
    LaunchOptions& o = result.options;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            o.help = true;
        } else if (arg == QLatin1String("--version")) {
            o.version = true;
        } else if (arg == QLatin1String("--simulate")) {
            o.simulate = true;
        } else if (arg.startsWith(QLatin1String("--simulate="))) {
            o.simulate = true;
            o.simulateModel = arg.mid(11).toStdString();
            if (o.simulateModel.empty()) return Fail(QStringLiteral("--simulate= needs a model"));
        } else if (arg == QLatin1String("--port")) {
            if (i + 1 >= args.size() || args[i + 1].isEmpty()) {
                return Fail(QStringLiteral("--port needs a device path"));
            }
            o.ports.push_back(args[++i].toStdString());
        } else if (arg.startsWith(QLatin1String("--port="))) {
            const QString path = arg.mid(7);
            if (path.isEmpty()) return Fail(QStringLiteral("--port needs a device path"));
            o.ports.push_back(path.toStdString());
        } else if (arg == QLatin1String("--no-system-ports")) {
            o.noSystemPorts = true;
        } else if (arg == QLatin1String("--expanded")) {
            o.expanded = true;
        } else if (arg.startsWith(QLatin1String(kDismissOption) + QLatin1Char('='))) {
            bool number = false;
            const int ms = arg.section(QLatin1Char('='), 1).toInt(&number);
            if (!number || ms < 0)
                return Fail(
                    QStringLiteral("%1: the time must be a whole number of milliseconds").arg(arg));
            o.dismissMessagesMs = ms;
        } else {
            return Fail(QStringLiteral("unknown option %1").arg(arg));
        }
    }
    return result;
}

QString LaunchUsage() {
    return QStringLiteral(
               "usage: qtm200debug [--simulate[=MODEL]] [--port PATH]... [--no-system-ports]\n"
               "       qtm200debug --help | --version\n"
               "  --simulate[=MODEL]  start a simulated meter (default model of the simulator)\n"
               "                      and list its port\n"
               "  --port PATH         list PATH as a serial port as well (may be repeated)\n"
               "  --no-system-ports   list only the ports named here and the simulator's\n"
               "  -h, --help          show this text\n"
               "  --version           show the program's name and version\n"
               "exit status: 0 window closed, 1 could not start, 2 bad command line\n") +
           LaunchVersionLine() + QLatin1Char('\n');
}

QString LaunchVersionLine() {
    return QStringLiteral("qtm200debug ") + QLatin1String(qtm::kProgramVersion);
}
