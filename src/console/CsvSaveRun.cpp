#include "console/CsvSaveRun.h"

#include <QMetaObject>

CsvSaveRun::CsvSaveRun(QObject* parent) : QObject(parent) {}

CsvSaveRun::~CsvSaveRun() {
    if (m_thread.joinable()) m_thread.join();
}

void CsvSaveRun::Save(std::filesystem::path path, std::u16string header,
                      std::vector<qtm::MeasurementRecord> records, Done done) {
    Write([path = std::move(path), header = std::move(header),
           records = std::move(records)] { return qtm::WriteCsvFile(path, header, records); },
          std::move(done));
}

void CsvSaveRun::Write(std::function<qtm::FileResult()> write, Done done) {
    if (m_thread.joinable()) m_thread.join();
    m_busy = true;
    m_thread = std::thread([this, write = std::move(write), done = std::move(done)] {
        const qtm::FileResult result = write();
        QMetaObject::invokeMethod(
            this,
            [this, result, done] {
                m_busy = false;
                if (done) done(result);
            },
            Qt::QueuedConnection);
    });
}
