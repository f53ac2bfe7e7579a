// The reading list as a table over the reading buffer: one row per listed record, its texts
// made only when the view paints them, so the list holds a million rows cheaply. A live row's
// tooltip says when its reading was taken; an imported one has none, as it has no time.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <vector>

#include "service/ReadingBuffer.h"
#include "service/ReadingDetails.h"
#include "service/ReadingRowText.h"

class ReadingListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    ReadingListModel(const qtm::ReadingBuffer& records, const qtm::ReadingDetails& details,
                     QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Lists the buffer's newest record in a new last row.
    void AddRowForNewest(qtm::RowOrigin origin);
    void RemoveAllRows();
    // The power and energy headers of the model's group.
    void SetModelName(const QString& model);

    // The record a row shows (rows skip the records of passes that list nothing).
    std::size_t RecordOfRow(int row) const {
        return m_rows[static_cast<std::size_t>(row)] & kIndexMask;
    }
    qtm::RowOrigin OriginOfRow(int row) const;

private:
    static constexpr std::uint32_t kImportedBit = 0x80000000u;
    static constexpr std::uint32_t kIndexMask = ~kImportedBit;

    const qtm::ReadingBuffer& m_records;
    const qtm::ReadingDetails& m_details;
    // Per row: the record index, with the top bit set for an imported reading.
    std::vector<std::uint32_t> m_rows;
    QString m_powerHeader;
    QString m_energyHeader;
};
