#include "console/ReadingStore.h"

#include <QHeaderView>
#include <QTableView>

ReadingStore::ReadingStore(std::size_t capacity) : m_buffer(capacity), m_model(m_buffer) {}

bool ReadingStore::AppendLive(float power, double energy, float seconds) {
    if (!m_buffer.Append(power, energy, seconds)) return false;
    ShowNewRow(qtm::RowOrigin::Live);
    return true;
}

bool ReadingStore::AppendUnlisted(float power) {
    return m_buffer.Append(power, 0.0, 0.0f);
}

bool ReadingStore::AppendImported(float power) {
    if (!m_buffer.Append(power, 0.0, 0.0f)) return false;
    ShowNewRow(qtm::RowOrigin::Imported);
    return true;
}

void ReadingStore::Clear() {
    m_model.RemoveAllRows();
    m_buffer.Clear();
}

void ReadingStore::ShowNewRow(qtm::RowOrigin origin) {
    m_model.AddRowForNewest(origin);
    if (m_view) m_view->scrollToBottom();
}

void ReadingStore::SetModelName(const QString& model) {
    m_model.SetModelName(model);
}

void ReadingStore::AttachView(QTableView* view) {
    m_view = view;
    if (!view) return;
    if (view->model() != &m_model) view->setModel(&m_model);
    constexpr int kWidths[qtm::kListColumns] = {60, 120, 150, 120};
    for (int column = 0; column < qtm::kListColumns; ++column)
        view->setColumnWidth(column, kWidths[column]);
    QHeaderView* header = view->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    header->setSectionsMovable(true);  // header drag-and-drop
    // Every row is one text line high: the view never measures a row's contents.
    QHeaderView* rows = view->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);  // full-row select
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setMouseTracking(true);  // hovering tracks the row under the pointer
    view->setStyleSheet(
        QStringLiteral("QTableView::item:hover { background: palette(highlight); "
                       "color: palette(highlighted-text); }"));
}
