// The bash completion of qtm200cli, sourced in bash as the shell does: it must load, and
// offer the commands, the options of each command and the fixed values.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/CliOptions.h"
#include "cli/UsageWords.h"
#include "device/TempDir.h"

namespace {

// The words bash would hand over for a command line ending in the word being completed;
// what the completion offers, sorted, one line.
std::string Complete(const std::string& words) {
    const std::string script = "source '" QTM_SOURCE_DIR
                               "/packaging/qtm200cli.bash-completion' || exit 3\n"
                               "complete -p qtm200cli >/dev/null || exit 4\n"
                               "COMP_WORDS=(" +
                               words +
                               ")\n"
                               "COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
                               "_qtm200cli\n"
                               "printf '%s\\n' \"${COMPREPLY[@]}\" | sort | paste -sd' '\n";
    const std::string path = ::testing::TempDir() + "/complete-" + std::to_string(::getpid());
    std::ofstream(path) << script;
    std::FILE* pipe = ::popen(("bash --norc --noprofile " + path + " 2>&1").c_str(), "r");
    std::string out;
    char buffer[512];
    while (pipe != nullptr && std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        out += buffer;
    const int status = pipe != nullptr ? ::pclose(pipe) : -1;
    std::remove(path.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "failed: " + out;
    if (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

TEST(CompletionTest, OffersCommandsOptionsAndValues) {
    const std::pair<const char*, const char*> cases[] = {
        {"qtm200cli li", "live"},
        {"qtm200cli live --fo", "--format"},
        {"qtm200cli import --c", "--csv"},  // --count is live's
        {"qtm200cli --port /dev/ttyUSB0 live --c", "--count --csv"},
        {"qtm200cli live --format ''", "csv jsonl text"},
        {"qtm200cli --link = r", "rs485"},
        {"qtm200cli --family ''", "qtm300 qtx200"},
        {"qtm200cli set ''", "addr band cal energy k model range savetime sn"},
        {"qtm200cli --addr 3 set energy ''", "clear pause start stop"},
        {"qtm200cli fit ''", "read start stop"},
        {"qtm200cli restore --fo", "--force"},
        {"qtm200cli --ver", "--version"},
    };
    for (const auto& [words, offered] : cases)
        EXPECT_EQ(Complete(words), offered) << words;
}

qtm::test::Words Split(const std::string& line) {
    qtm::test::Words words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.insert(word);
    return words;
}

// Nothing the usage names is missing from the completion, nor offered beyond it.
TEST(CompletionTest, OffersWhatTheUsageNames) {
    const std::string usage = qtm::cli::UsageText();
    EXPECT_EQ(Split(Complete("qtm200cli ''")), qtm::test::UsageCommands(usage));
    qtm::test::Words options;
    for (const char* line :
         {"qtm200cli -", "qtm200cli live -", "qtm200cli import -", "qtm200cli restore -"})
        options.merge(Split(Complete(line)));
    EXPECT_EQ(options, qtm::test::Options(usage));
}

TEST(CompletionTest, OffersFilesAfterCsvAndLog) {
    const qtm::test::TempDir dir;
    std::ofstream(dir.Path() / "run-2026.csv") << "";
    const std::string file = (dir.Path() / "run-2026.csv").string();
    for (const char* option : {"--csv", "--log"})
        EXPECT_EQ(Complete("qtm200cli live " + std::string(option) + " '" +
                           (dir.Path() / "run").string() + "'"),
                  file);
}

}  // namespace
