// The window program's command line: which ports to list and whether to start a simulated
// meter. Parsed without side effects so a bad command line is refused before anything opens.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

struct LaunchOptions {
    bool simulate = false;
    std::string simulateModel;       // empty: the simulator's own default model
    std::vector<std::string> ports;  // --port, in the order given
    bool noSystemPorts = false;
    // Unattended runs only (screenshots): message boxes close themselves after this many
    // milliseconds. Not in the usage text.
    int dismissMessagesMs = -1;
    // Unattended runs only: open with the lower part shown (--expanded). Not in the usage text.
    bool expanded = false;
    bool help = false;
    bool version = false;
};

struct LaunchParse {
    LaunchOptions options;
    bool ok = true;
    QString error;  // one line, when !ok
};

// Parses the arguments after the program name. Options Qt itself understands (such as
// -platform) are taken out by QApplication before we see them.
LaunchParse ParseLaunchOptions(const QStringList& args);

// The usage (--help), ending in the version line.
QString LaunchUsage();
// "qtm200debug VERSION" (--version), without a newline.
QString LaunchVersionLine();
