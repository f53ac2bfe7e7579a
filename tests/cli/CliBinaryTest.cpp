// Runs the installed qtm200cli program itself, as a script would.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

#include "service/CsvFormat.h"
#include "service/CsvLog.h"

namespace {

struct ProgramRun {
    int status = -1;
    std::string out;
};

// QTM_BIN_DIR when set; otherwise the folder this test program runs from, where the
// build puts every program.
std::string BinDir() {
    if (const char* bin = std::getenv("QTM_BIN_DIR"); bin != nullptr && *bin != '\0') return bin;
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    std::string self(path, static_cast<std::size_t>(n));
    return self.substr(0, self.find_last_of('/'));
}

// With binary the output is taken byte for byte (a UTF-16 file holds zero bytes). With
// standardError what is taken is standard error, and standard output is dropped.
ProgramRun RunProgram(const std::string& arguments, bool binary = false,
                      bool standardError = false) {
    ProgramRun run;
    const std::string command = BinDir() + "/qtm200cli " + arguments +
                                (standardError ? " 2>&1 >/dev/null" : " 2>/dev/null");
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[512];
    if (binary) {
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.out.append(buffer, n);
    }
    while (!binary && std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.out += buffer;
    const int wait = ::pclose(pipe);
    run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
    return run;
}

TEST(CliProgramTest, LiveOnTheBuiltInSimulatorPrintsNumberedLines) {
    const ProgramRun run = RunProgram("--simulate=QTX-200L --no-system-ports live --count 2");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(
        std::regex_match(run.out, std::regex(R"(1 P=\S+ k?cd/m2 E=\S+ \S+ T=[^\n]+ t=[0-9.]+\n)"
                                             R"(2 P=\S+ k?cd/m2 E=\S+ \S+ T=[^\n]+ t=[0-9.]+\n)")))
        << run.out;
}

TEST(CliProgramTest, LiveCsvOnStandardOutputIsTheFileAndTheLinesGoToStandardError) {
    const ProgramRun run = RunProgram("--simulate --no-system-ports live --count 2 --csv -", true);
    EXPECT_EQ(run.status, 0);
    ASSERT_GE(run.out.size(), 2u);
    EXPECT_EQ(run.out.substr(0, 2), "\xFF\xFE");
    const qtm::CsvContents contents = qtm::ParseCsv(run.out);
    EXPECT_EQ(contents.header, qtm::CsvHeader(qtm::ModelGroup::PPFD));
    EXPECT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.badLines, 0u);
}

TEST(CliProgramTest, BadArgumentsExitWithTwo) {
    EXPECT_EQ(RunProgram("--link carrier-pigeon ports").status, 2);
}

TEST(CliProgramTest, VersionIsOneLine) {
    const ProgramRun run = RunProgram("--version");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(std::regex_match(run.out, std::regex(R"(qtm200cli [0-9]+\.[0-9]+(\.[0-9]+)*\n)")))
        << run.out;
}

// Pass lines moved off standard output are talk, not complaints: they carry no prefix.
TEST(CliProgramTest, PassLinesOnStandardErrorStayAsTheyAre) {
    const ProgramRun run =
        RunProgram("--simulate --no-system-ports live --count 2 --csv -", false, true);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(std::regex_match(run.out, std::regex(R"(1 P=[^\n]+\n2 P=[^\n]+\n)"))) << run.out;
}

}  // namespace
