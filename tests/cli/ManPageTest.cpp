// The manual pages against the programs' own usage texts, so that neither can gain or lose an
// option or a command without the other; and each page renders without a warning.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "cli/CliOptions.h"
#include "cli/UsageWords.h"
#include "qtm/Version.h"
#include "sim/SimArgs.h"

namespace {

using qtm::test::Options;
using qtm::test::UsageCommands;
using qtm::test::Words;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string BinDir() {
    if (const char* bin = std::getenv("QTM_BIN_DIR"); bin != nullptr && *bin != '\0') return bin;
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    const std::string self(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    return self.substr(0, self.find_last_of('/'));
}

// Standard output of a shell command and its exit status.
std::pair<int, std::string> RunShell(const std::string& command) {
    std::string text;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, text};
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        text += buffer;
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

// A page's listed entries: the term line after each .TP, with the roff escapes and the
// font macros taken out; the commands are the first words of those under COMMANDS.
struct PageEntries {
    Words options;
    Words commands;
    std::string version;  // from .TH
};

std::string PlainRoff(std::string line) {
    line = std::regex_replace(line, std::regex(R"(\\f[BIRP])"), "");
    line = std::regex_replace(line, std::regex(R"(\\-)"), "-");
    line = std::regex_replace(line, std::regex(R"(\\\(lq|\\\(rq|\\&)"), "");
    line = std::regex_replace(line, std::regex(R"(^\.(B|I|BR|BI|IR|RB|RI)\s+)"), "");
    return std::regex_replace(line, std::regex("\""), "");
}

PageEntries ReadPage(const std::string& page) {
    PageEntries entries;
    std::istringstream in(page);
    std::string section;
    bool term = false;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(".TH ", 0) == 0) {
            std::smatch m;
            if (std::regex_search(line, m, std::regex(R"("QTM200Debug ([^"]+)\")")))
                entries.version = m[1];
        } else if (line.rfind(".SH ", 0) == 0) {
            section = line.substr(4);
        } else if (line == ".TP") {
            term = true;
        } else if (term) {
            term = false;
            const std::string plain = PlainRoff(line);
            for (const std::string& option : Options(plain))
                entries.options.insert(option);
            if (section == "COMMANDS") entries.commands.insert(plain.substr(0, plain.find(' ')));
        }
    }
    return entries;
}

std::string Missing(const Words& wanted, const Words& have) {
    std::string missing;
    for (const std::string& word : wanted)
        if (!have.contains(word)) missing += " " + word;
    return missing;
}

struct Program {
    const char* name;
    std::string usage;  // empty: the program is not built here
};

std::vector<Program> Programs() {
    const std::string debug = BinDir() + "/qtm200debug";
    return {{"qtm200cli", qtm::cli::UsageText()},
            {"qtm200sim", qtmsim::SimUsage()},
            {"qtm200debug", ::access(debug.c_str(), X_OK) == 0 ? RunShell(debug + " --help").second
                                                               : std::string()}};
}

std::string PagePath(const char* program) {
    // Appended in place: GCC 12 misreads the chain of string + text (-Warray-bounds).
    std::string path = QTM_SOURCE_DIR;
    path.append("/packaging/").append(program).append(".1");
    return path;
}

TEST(ManPageTest, EveryPageListsExactlyTheOptionsAndCommandsOfItsProgram) {
    std::string notBuilt;
    for (const Program& program : Programs()) {
        SCOPED_TRACE(program.name);
        if (program.usage.empty()) {
            notBuilt += program.name;
            continue;
        }
        const PageEntries page = ReadPage(ReadFile(PagePath(program.name)));
        const Words usageOptions = Options(program.usage);
        EXPECT_TRUE(usageOptions.contains("--version") && usageOptions.contains("-h"));
        EXPECT_EQ(Missing(usageOptions, page.options), "") << "in --help, not in the page";
        EXPECT_EQ(Missing(page.options, usageOptions), "") << "in the page, not in --help";
        const Words usageCommands = UsageCommands(program.usage);
        EXPECT_EQ(Missing(usageCommands, page.commands), "") << "in --help, not in the page";
        EXPECT_EQ(Missing(page.commands, usageCommands), "") << "in the page, not in --help";
        EXPECT_EQ(page.version, qtm::kProgramVersion);
    }
    EXPECT_TRUE(UsageCommands(qtm::cli::UsageText()).contains("restore"));
    if (!notBuilt.empty()) GTEST_SKIP() << notBuilt << " is not built in " << BinDir();
}

TEST(ManPageTest, EveryPageRendersWithoutAWarning) {
    if (RunShell("command -v man >/dev/null").first != 0) GTEST_SKIP() << "man is not installed";
    for (const char* program : {"qtm200cli", "qtm200sim", "qtm200debug"}) {
        const auto [status, warnings] =
            RunShell("LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l '" +
                     PagePath(program) + "' 2>&1 >/dev/null");
        EXPECT_EQ(status, 0) << program;
        EXPECT_EQ(warnings, "") << program;
    }
}

}  // namespace
