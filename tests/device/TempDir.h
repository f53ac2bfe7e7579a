// A private temporary folder per test, removed afterwards (tests run in parallel).
#pragma once

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace qtm::test {

class TempDir {
public:
    // A new folder of a random name, made by create_directory, which fails for a name that
    // is taken: parallel tests never share one (mkdtemp's way, on every system).
    TempDir() {
        std::random_device random;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, "qtmdev-%08x", static_cast<unsigned>(random()));
            const auto path = std::filesystem::temp_directory_path() / name;
            std::error_code ec;
            if (std::filesystem::create_directory(path, ec)) m_path = path;
        }
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace qtm::test
