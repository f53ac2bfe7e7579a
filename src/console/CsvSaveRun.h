// CsvSaveRun: writes a CSV file on a thread of its own from a copy of the records, so a
// million readings on a slow disk never stall the window; the outcome comes back on the
// window's thread. One file at a time.
#pragma once

#include <QObject>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "service/CsvFile.h"
#include "service/MeasurementRecord.h"

class CsvSaveRun : public QObject {
    Q_OBJECT

public:
    using Done = std::function<void(const qtm::FileResult&)>;

    explicit CsvSaveRun(QObject* parent = nullptr);
    // Waits for a file being written: it is finished (or left untouched), never cut.
    ~CsvSaveRun() override;

    // Writes path; done runs on the window's thread afterwards. A save asked for while
    // another is writing starts when that one is done.
    void Save(std::filesystem::path path, std::u16string header,
              std::vector<qtm::MeasurementRecord> records, Done done);
    // The same for any file: write runs on the thread and says how it went.
    void Write(std::function<qtm::FileResult()> write, Done done);
    bool Busy() const { return m_busy.load(); }

private:
    std::thread m_thread;
    std::atomic<bool> m_busy{false};
};
