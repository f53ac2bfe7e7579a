#include "console/StoragePoll.h"

#include "service/LivePass.h"

StoragePoll::StoragePoll(qtm::MeterLink& link, QObject* context, Receiver receiver)
    : m_link(link), m_context(context), m_receiver(std::move(receiver)) {}

StoragePoll::~StoragePoll() {
    Join();
}

bool StoragePoll::Poll() {
    if (m_busy.load()) return false;
    Join();  // the last read has ended: this only reclaims its thread
    m_busy = true;
    m_thread = std::thread([this] {
        const std::optional<std::uint16_t> pages = qtm::ReadStoragePages(m_link);
        QMetaObject::invokeMethod(
            m_context, [receiver = m_receiver, pages] { receiver(pages); }, Qt::QueuedConnection);
        m_busy = false;
    });
    return true;
}

void StoragePoll::Join() {
    if (m_thread.joinable()) m_thread.join();
}
