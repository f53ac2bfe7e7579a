#include "console/ImportRun.h"

#include <QMetaObject>
#include <QPointer>

ImportRun::ImportRun(QObject* parent) : QObject(parent) {
    qRegisterMetaType<qtm::PageResult>();
    qRegisterMetaType<qtm::ImportOutcome>();
}

ImportRun::~ImportRun() {
    Cancel();
    Join();
}

void ImportRun::Join() {
    if (m_thread.joinable()) m_thread.join();
}

bool ImportRun::Start(int pages, qtm::PageReader read) {
    if (m_running) return false;
    Join();
    m_cancel = false;
    m_running = true;
    m_thread = std::thread([this, pages, read = std::move(read)] {
        // Values travel to the window's thread as queued calls; the thread never waits
        // for the window, which may itself be waiting in the destructor's join.
        const qtm::ImportOutcome outcome =
            qtm::ImportPages(pages, read, [this](const qtm::PageResult& page) {
                // Every page goes to the window, so its progress moves on; only a page that
                // was read adds readings there.
                QMetaObject::invokeMethod(
                    this, [this, page] { emit PageRead(page); }, Qt::QueuedConnection);
                return !m_cancel.load();
            });
        QMetaObject::invokeMethod(
            this,
            [this, outcome] {
                m_running = false;
                Join();
                emit Finished(outcome);
            },
            Qt::QueuedConnection);
    });
    return true;
}
