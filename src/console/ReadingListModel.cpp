#include "console/ReadingListModel.h"

#include "service/ModelCatalog.h"
#include "service/UtcTime.h"

ReadingListModel::ReadingListModel(const qtm::ReadingBuffer& records,
                                   const qtm::ReadingDetails& details, QObject* parent)
    : QAbstractTableModel(parent), m_records(records), m_details(details) {
    // One row per record at most; the pages are touched only as rows arrive, and a row is
    // added without ever moving the others.
    m_rows.reserve(records.Capacity());
    SetModelName(QString::fromUtf8(qtm::kDefaultModel));
}

int ReadingListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int ReadingListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : qtm::kListColumns;
}

qtm::RowOrigin ReadingListModel::OriginOfRow(int row) const {
    return (m_rows[static_cast<std::size_t>(row)] & kImportedBit) ? qtm::RowOrigin::Imported
                                                                  : qtm::RowOrigin::Live;
}

QVariant ReadingListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= qtm::kListColumns)
        return {};
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const std::size_t record = RecordOfRow(index.row());
    if (record >= m_records.Count()) return {};
    if (role == Qt::ToolTipRole) {
        if (record >= m_details.Count()) return {};
        const auto taken = m_details.TimeOf(record);
        if (!taken) return {};
        return QStringLiteral("Taken %1 (UTC)")
            .arg(QString::fromStdString(qtm::UtcIsoMillis(*taken)));
    }
    return QString::fromStdString(
        qtm::ReadingCellText(m_records[record], OriginOfRow(index.row()), index.column()));
}

QVariant ReadingListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::TextAlignmentRole) return QVariant(Qt::AlignCenter);
    if (role != Qt::DisplayRole) return {};
    switch (section) {
        case 0:
            return QStringLiteral("iNo.");
        case 1:
            return m_powerHeader;
        case 2:
            return m_energyHeader;
        case 3:
            return QStringLiteral("Time(s)");
        default:
            return {};
    }
}

void ReadingListModel::AddRowForNewest(qtm::RowOrigin origin) {
    if (m_records.Empty() || m_rows.size() >= m_records.Capacity()) return;
    const auto index = static_cast<std::uint32_t>(m_records.Count() - 1);
    const int row = static_cast<int>(m_rows.size());
    beginInsertRows(QModelIndex(), row, row);
    m_rows.push_back(origin == qtm::RowOrigin::Imported ? (index | kImportedBit) : index);
    endInsertRows();
}

void ReadingListModel::RemoveAllRows() {
    beginResetModel();
    m_rows.clear();  // keeps the reservation for the next run
    endResetModel();
}

void ReadingListModel::SetModelName(const QString& model) {
    const qtm::ModelTexts& texts = qtm::TextsOfModel(model.toStdString());
    m_powerHeader = QString::fromUtf8(texts.listPower);
    m_energyHeader = QString::fromUtf8(texts.listEnergy);
    emit headerDataChanged(Qt::Horizontal, 1, 2);
}
