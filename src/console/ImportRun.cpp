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

void ImportRun::Deliver() {
    std::vector<qtm::PageResult> pages;
    std::optional<qtm::ImportOutcome> outcome;
    {
        std::lock_guard lock(m_handOver);
        pages.swap(m_pages);
        outcome.swap(m_outcome);
    }
    for (const qtm::PageResult& page : pages)
        emit PageRead(page);
    if (!outcome) return;
    m_running = false;
    Join();
    emit Finished(*outcome);
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
        // Values travel to the window's thread through the hand-over queue and a queued
        // call; the thread never waits for the window, which may itself be waiting in the
        // destructor's join.
        const qtm::ImportOutcome outcome =
            qtm::ImportPages(pages, read, [this](const qtm::PageResult& page) {
                {
                    std::lock_guard lock(m_handOver);
                    m_pages.push_back(page);
                }
                QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
                return !m_cancel.load();
            });
        {
            std::lock_guard lock(m_handOver);
            m_outcome = outcome;
        }
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
    });
    return true;
}
