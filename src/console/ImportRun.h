// ImportRun: downloads the meter's stored readings on a thread of its own, so the window
// keeps painting while a full memory takes its minute. Each page reaches the window's
// thread as it comes; Cancel stops after the page in progress.
#pragma once

#include <QObject>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "service/RecordImport.h"

Q_DECLARE_METATYPE(qtm::PageResult)
Q_DECLARE_METATYPE(qtm::ImportOutcome)

class ImportRun : public QObject {
    Q_OBJECT

public:
    explicit ImportRun(QObject* parent = nullptr);
    ~ImportRun() override;  // cancels and waits for the thread

    // Starts reading pages 0 to pages - 1 with read (its exchanges take the link's lock
    // one page at a time). False when a run is already going.
    bool Start(int pages, qtm::PageReader read);
    // Asks the run to stop once the page in progress is in.
    void Cancel() { m_cancel = true; }
    bool Running() const { return m_running; }

signals:
    // On the window's thread, in page order: every page, so the progress moves on; only a
    // page whose readings arrived whole has readings to show.
    void PageRead(const qtm::PageResult& page);
    // On the window's thread, after the last page's PageRead.
    void Finished(const qtm::ImportOutcome& outcome);

private slots:
    // On the window's thread: hands on the pages (and the outcome) the thread left.
    void Deliver();

private:
    void Join();

    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    // What the thread hands over. It goes through this queue under a mutex of ours, not
    // inside the queued call: the order Qt's event queue gives is made by Qt's own code,
    // which the race checker cannot see.
    std::mutex m_handOver;
    std::vector<qtm::PageResult> m_pages;
    std::optional<qtm::ImportOutcome> m_outcome;
};
