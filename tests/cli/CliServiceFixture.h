// The CLI against a simulated meter, with its data folder (backups, service log) in a
// folder of the test's own.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliRunner.h"
#include "device/SimFixture.h"
#include "device/TempDir.h"

namespace qtm::cli {

// The CLI against a simulated meter, with backups in a folder of the test's own.
class CliServiceTest : public test::SimFixture {
protected:
    void SetUp() override { ::setenv("XDG_DATA_HOME", data.Path().c_str(), 1); }
    struct Run {
        int status;
        std::string out;
        std::string err;
    };
    Run Cli(std::vector<std::string> args) {
        std::vector<std::string> line{"--no-system-ports", "--port", meter->PortPath()};
        line.insert(line.end(), args.begin(), args.end());
        std::ostringstream out, err;
        const int status = RunCli(line, out, err);
        return {status, out.str(), err.str()};
    }
    std::size_t Backups() const {
        const auto folder = data.Path() / "QTM200Debug" / "backups";
        if (!std::filesystem::exists(folder)) return 0;
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder),
                                                      std::filesystem::directory_iterator()));
    }
    // The service log's lines, oldest first.
    std::vector<std::string> LogLines() const {
        std::ifstream in(data.Path() / "QTM200Debug" / "service-log.jsonl");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    test::TempDir data;
};

}  // namespace qtm::cli
