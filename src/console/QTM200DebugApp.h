// CQTM200DebugApp: the application object. It owns the QApplication, reads the command line,
// starts the built-in simulated meter when asked, and runs the main window modally.
#pragma once

#include <QApplication>

class CQTM200DebugApp {
public:
    CQTM200DebugApp(int& argc, char** argv);

    // Runs the main window; returns the process exit code when it closes.
    int InitInstance();

    // Numbers are written and read with a decimal point whatever the user's language: Qt
    // takes the whole locale from the environment as it starts, so its numeric part is put
    // back to C (the rest, such as the character set, stays the user's).
    static void UseCNumbers();

private:
    QApplication m_app;
};
