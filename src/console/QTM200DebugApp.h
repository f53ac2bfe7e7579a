// CQTM200DebugApp: the application object. It owns the QApplication, reads the command line,
// starts the built-in simulated meter when asked, and runs the main window modally.
#pragma once

#include <QApplication>

class CQTM200DebugApp {
public:
    CQTM200DebugApp(int& argc, char** argv);

    // Runs the main window; returns the process exit code when it closes.
    int InitInstance();

private:
    QApplication m_app;
};
