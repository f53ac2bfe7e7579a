#include "console/CsvSaveRun.h"

#include <QMetaObject>

CsvSaveRun::CsvSaveRun(QObject* parent) : QObject(parent) {}

CsvSaveRun::~CsvSaveRun() {
    if (m_thread.joinable()) m_thread.join();
}

void CsvSaveRun::Save(std::filesystem::path path, std::u16string header,
                      std::vector<qtm::MeasurementRecord> records, Done done) {
    if (m_thread.joinable()) m_thread.join();
    m_busy = true;
    m_thread = std::thread([this, path = std::move(path), header = std::move(header),
                            records = std::move(records), done = std::move(done)] {
        const qtm::FileResult result = qtm::WriteCsvFile(path, header, records);
        QMetaObject::invokeMethod(
            this,
            [this, result, done] {
                m_busy = false;
                if (done) done(result);
            },
            Qt::QueuedConnection);
    });
}
