// The window tests need a QApplication; it lives for the whole test run. Without a platform
// chosen (test discovery runs the program outside CTest's environment) it is offscreen.
// Each run gets a data folder of its own, so journals of the user's (or of another test
// running beside it) are never read, offered or removed.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    std::string data = (std::filesystem::temp_directory_path() / "qtm-data-XXXXXX").string();
    const bool ownData = ::mkdtemp(data.data()) != nullptr;
    if (ownData) ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    int status = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        status = RUN_ALL_TESTS();
    }
    std::error_code ec;
    if (ownData) std::filesystem::remove_all(data, ec);
    return status;
}
