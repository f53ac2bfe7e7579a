#include "console/ReadingStore.h"

#include <QHeaderView>

#include "console/ReadingListView.h"

ReadingStore::ReadingStore(std::size_t capacity) : m_buffer(capacity), m_model(m_buffer) {}

bool ReadingStore::AppendLive(float power, double energy, float seconds) {
    if (!m_buffer.Append(power, energy, seconds)) return false;
    ShowNewRow(qtm::RowOrigin::Live);
    Added(qtm::RowOrigin::Live);
    return true;
}

bool ReadingStore::AppendUnlisted(float power) {
    if (!m_buffer.Append(power, 0.0, 0.0f)) return false;
    Added(qtm::RowOrigin::Live);
    return true;
}

bool ReadingStore::AppendImported(float power) {
    if (!m_buffer.Append(power, 0.0, 0.0f)) return false;
    ShowNewRow(qtm::RowOrigin::Imported);
    Added(qtm::RowOrigin::Imported);
    return true;
}

void ReadingStore::Clear() {
    m_model.RemoveAllRows();
    m_buffer.Clear();
    if (m_listener.cleared) m_listener.cleared();
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
