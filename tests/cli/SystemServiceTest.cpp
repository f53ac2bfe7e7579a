// The logger's system unit as systemd reads it: an instance of the packaged template, checked
// by systemd-analyze verify in a root of its own, so that a misspelt key, a value systemd
// cannot parse or a wrong program path shows here rather than on the user's machine.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

namespace {

namespace fs = std::filesystem;

// Standard output and error of a shell command, and its exit status.
std::pair<int, std::string> RunShell(const std::string& command) {
    std::string text;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return {-1, text};
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        text += buffer;
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class SystemServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "qtm-unit-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        if (!m_root.empty()) fs::remove_all(m_root, ignored);
    }
    fs::path m_root;
};

TEST_F(SystemServiceTest, AnInstanceOfTheLoggerUnitVerifiesCleanly) {
    if (RunShell("systemd-analyze --version").first != 0)
        GTEST_SKIP() << "systemd-analyze cannot run here (the systemd package is not installed)";

    const fs::path units = m_root / "usr/lib/systemd/system";
    fs::create_directories(units);
    fs::copy_file(fs::path(QTM_SOURCE_DIR) / "packaging/qtm200-logger@.service",
                  units / "qtm200-logger@.service");
    // A service depends on sysinit.target by default; the rest of the machine's units are
    // none of this unit's business.
    WriteFile(units / "sysinit.target", "[Unit]\nDescription=System Initialization\n");
    // What the package and the administrator put in place: the program the unit starts
    // (verify wants it executable) and the instance's argument file.
    WriteFile(m_root / "usr/bin/qtm200cli", "#!/bin/sh\nexit 0\n");
    fs::permissions(m_root / "usr/bin/qtm200cli", fs::perms::owner_all, fs::perm_options::add);
    WriteFile(m_root / "etc/qtm200/test.conf", "QTM200_ARGS=live --port /dev/ttyUSB0\n");

    const auto [status, complaints] = RunShell("systemd-analyze verify --man=no --root='" +
                                               m_root.string() + "' qtm200-logger@test.service");
    EXPECT_EQ(complaints, "");
    EXPECT_EQ(status, 0);
}

// The check above is only worth something if verify, run this way, does complain.
TEST_F(SystemServiceTest, VerifyRunThisWayFindsAFaultyUnit) {
    if (RunShell("systemd-analyze --version").first != 0)
        GTEST_SKIP() << "systemd-analyze cannot run here (the systemd package is not installed)";

    const fs::path units = m_root / "usr/lib/systemd/system";
    WriteFile(units / "qtm200-logger@.service",
              "[Service]\nExecStart=/usr/bin/qtm200cli live\nRestart=sometimes\n");
    WriteFile(units / "sysinit.target", "[Unit]\nDescription=System Initialization\n");

    const auto [status, complaints] = RunShell("systemd-analyze verify --man=no --root='" +
                                               m_root.string() + "' qtm200-logger@test.service");
    EXPECT_NE(complaints.find("sometimes"), std::string::npos) << complaints;
    EXPECT_NE(complaints.find("/usr/bin/qtm200cli"), std::string::npos) << complaints;
    EXPECT_NE(status, 0);
}

}  // namespace
