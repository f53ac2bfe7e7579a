#include "console/ReadingStore.h"

#include <QHeaderView>

#include "console/ReadingListView.h"

ReadingStore::ReadingStore(std::size_t capacity)
    : m_buffer(capacity), m_details(capacity), m_model(m_buffer, m_details) {}

bool ReadingStore::Append(float power, double energy, float seconds,
                          const qtm::ReadingDetail& detail) {
    if (!m_buffer.Append(power, energy, seconds)) return false;
    m_details.Append(detail);
    return true;
}

bool ReadingStore::AppendLive(float power, double energy, float seconds,
                              qtm::ReadingDetail detail) {
    detail.source = qtm::ReadingSource::UsbLive;
    if (!Append(power, energy, seconds, detail)) return false;
    ShowNewRow(qtm::RowOrigin::Live);
    Added(qtm::RowOrigin::Live);
    return true;
}

bool ReadingStore::AppendUnlisted(float power, qtm::ReadingDetail detail) {
    detail.source = qtm::ReadingSource::BusLive;
    if (!Append(power, 0.0, 0.0f, detail)) return false;
    Added(qtm::RowOrigin::Live);
    return true;
}

bool ReadingStore::AppendImported(float power) {
    // The meter stores its readings without a clock: the time stays empty, not invented.
    if (!Append(power, 0.0, 0.0f, qtm::ReadingDetail{})) return false;
    ShowNewRow(qtm::RowOrigin::Imported);
    Added(qtm::RowOrigin::Imported);
    return true;
}

void ReadingStore::Clear() {
    m_model.RemoveAllRows();
    m_buffer.Clear();
    m_details.Clear();
    for (const Listener& listener : m_listeners)
        if (listener.cleared) listener.cleared();
}

void ReadingStore::ShowNewRow(qtm::RowOrigin origin) {
    m_model.AddRowForNewest(origin);
    if (m_view) m_view->scrollToBottom();
}

void ReadingStore::SetModelName(const QString& model) {
    m_model.SetModelName(model);
}

void ReadingStore::AttachView(ReadingListView* view) {
    m_view = view;
    if (!view) return;
    view->setModel(&m_model);
    constexpr int kWidths[qtm::kListColumns] = {60, 120, 150, 120};
    for (int column = 0; column < qtm::kListColumns; ++column)
        view->setColumnWidth(column, kWidths[column]);
    QHeaderView* header = view->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionsMovable(true);  // header drag-and-drop
}
