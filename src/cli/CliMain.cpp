// qtm200cli: talks to a QTX meter from the command line (see --help).
#ifdef _WIN32
#include <windows.h>
// _setmode and _O_BINARY: the C runtime's, for binary standard streams.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>

#include "device/platform/WinWideText.h"
#else
#include <unistd.h>
#endif

#include <iostream>
#include <string>
#include <vector>

#include "cli/CliRunner.h"

namespace {

#ifdef _WIN32

// The arguments as the user typed them, in UTF-8: main's are in the ANSI code page, which
// cannot hold every file name.
std::vector<std::string> Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(qtm::Utf8FromWide(wide[i]));
    ::LocalFree(wide);
    return args;
}

// The same bytes on both systems: UTF-8 texts on the console, and no CR added before each
// LF of standard output (the CSV brings its own CR LF).
void PrepareConsole() {
    ::SetConsoleOutputCP(CP_UTF8);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

bool ErrIsTerminal() {
    DWORD mode = 0;
    return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

#else

std::vector<std::string> Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void PrepareConsole() {}

bool ErrIsTerminal() {
    return ::isatty(2) == 1;
}

#endif

}  // namespace

int main(int argc, char** argv) {
    PrepareConsole();
    qtm::cli::CliEnvironment environment;
    environment.errIsTerminal = ErrIsTerminal();
    return qtm::cli::RunCli(Arguments(argc, argv), std::cout, std::cerr, environment);
}
