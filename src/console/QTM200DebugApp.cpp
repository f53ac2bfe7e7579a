#include "console/QTM200DebugApp.h"

#include <QIcon>
#include <QLocale>
#include <clocale>
#include <cstdio>
#include <memory>

#include "console/LaunchOptions.h"
#include "console/QTM200DebugDlg.h"
#include "console/QtOperatorPrompts.h"
#include "console/SignalCloser.h"
#include "sim/SimMeter.h"

// The resources live in a static library; without this their initialiser may be dropped.
static void InitResources() {
    Q_INIT_RESOURCE(resources);
}

CQTM200DebugApp::CQTM200DebugApp(int& argc, char** argv) : m_app(argc, argv) {
    UseCNumbers();
    InitResources();
    QApplication::setApplicationName(QStringLiteral("QTM200Debug"));
    // Wayland desktops find the window's menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.qtm200debug"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/qtm200debug.png")));
}

void CQTM200DebugApp::UseCNumbers() {
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
}

int CQTM200DebugApp::InitInstance() {
    const LaunchParse parse = ParseLaunchOptions(QApplication::arguments().mid(1));
    if (!parse.ok) {
        std::fprintf(stderr, "qtm200debug: %s\ntry 'qtm200debug --help'\n",
                     qPrintable(parse.error));
        return 2;
    }
    const LaunchOptions& options = parse.options;
    if (options.help) {
        std::fputs(qPrintable(LaunchUsage()), stdout);
        return 0;
    }
    if (options.version) {
        std::puts(qPrintable(LaunchVersionLine()));
        return 0;
    }

    PortListSetup ports;
    ports.extraPorts = options.ports;
    ports.systemPorts = !options.noSystemPorts;

    std::unique_ptr<qtmsim::SimMeter> simulator;
    if (options.simulate) {
        qtmsim::MeterConfig config;
        if (!options.simulateModel.empty()) config.model = options.simulateModel;
        config.records = qtmsim::kDemoStoredRecords;
        simulator = std::make_unique<qtmsim::SimMeter>(config);
        std::string error;
        if (!simulator->Start(&error)) {
            std::fprintf(stderr, "qtm200debug: cannot start the simulated meter: %s\n",
                         error.c_str());
            return 1;
        }
        ports.simulatorPort = simulator->PortPath();
    }

    int result = 0;
    {
        CQTM200DebugDlg dlg(nullptr, ports);
        if (auto* boxes = dynamic_cast<QtOperatorPrompts*>(&dlg.Prompts())) {
            boxes->SetAutoDismiss(options.dismissMessagesMs);
        }
        // A logout or Ctrl+C ends the window through its shutdown: the run stops, a saved
        // run's journal goes, and unsaved readings stay on the disk for the next start.
        SignalCloser closer([&dlg](int) {
            dlg.EndSession();
            QCoreApplication::exit(0);
        });
        dlg.OnInitDialog();
        if (options.expanded) dlg.ToggleExpand();
        result = dlg.exec();
    }
    // The window has closed its ports; only now may the simulated meter go.
    if (simulator) simulator->Stop();
    return result == QDialog::Accepted || result == QDialog::Rejected ? 0 : result;
}
