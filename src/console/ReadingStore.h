// ReadingStore: the window's readings. It owns the reading buffer and the reading list's
// table model over it, and keeps the two in step: every record goes in through here.
//
// How to use it (the dialog's member is `m_records`):
//  - live USB pass: AppendLive(power, energy, seconds, detail) adds a record and a list row;
//  - live RS-485 pass: AppendUnlisted(power, detail) adds a record (energy and time 0), no row;
//    a live pass's detail holds when it was taken and the meter's other values;
//  - import: Clear() first, then AppendImported(reading) per stored reading; its row shows
//    the reading and "0" for energy and time, and it has no time of its own;
//  - Clear() empties the buffer and the list; numbering starts at 1 again.
//  Each Append returns false, changing nothing, when the buffer is full.
//  - reading: Count(), Records() (a span, in order) or Buffer() for the export; Details()
//    beside them, index for index.
//  - AttachView(list) once, SetModelName(model) when the meter's model changes the headers.
//  Window thread only: the worker and the import post their values to it.
#pragma once

#include <QString>
#include <functional>
#include <span>
#include <vector>

#include "console/ReadingListModel.h"
#include "service/ReadingBuffer.h"
#include "service/ReadingDetails.h"

class ReadingListView;

class ReadingStore {
public:
    explicit ReadingStore(std::size_t capacity = qtm::kRecordCapacity);
    ReadingStore(const ReadingStore&) = delete;
    ReadingStore& operator=(const ReadingStore&) = delete;

    // detail's source is set here, by the kind of pass.
    bool AppendLive(float power, double energy, float seconds, qtm::ReadingDetail detail = {});
    bool AppendUnlisted(float power, qtm::ReadingDetail detail = {});
    bool AppendImported(float power);
    void Clear();

    // Shows the list in view with its four centred columns, widths and styles; a view
    // that is attached scrolls to each new row.
    void AttachView(ReadingListView* view);
    void SetModelName(const QString& model);

    // Told of every record that goes in (with where it came from; its details are in
    // already) and of every Clear, in the order added; the live run's journal and the
    // statistics listen.
    struct Listener {
        std::function<void(const qtm::MeasurementRecord&, qtm::RowOrigin)> added;
        std::function<void()> cleared;
    };
    void AddListener(Listener listener) { m_listeners.push_back(std::move(listener)); }

    std::size_t Count() const { return m_buffer.Count(); }
    std::size_t Capacity() const { return m_buffer.Capacity(); }
    bool Empty() const { return m_buffer.Empty(); }
    bool Full() const { return m_buffer.Full(); }
    const qtm::MeasurementRecord& operator[](std::size_t index) const { return m_buffer[index]; }
    std::span<const qtm::MeasurementRecord> Records() const { return m_buffer.Records(); }
    const qtm::ReadingBuffer& Buffer() const { return m_buffer; }
    const qtm::ReadingDetails& Details() const { return m_details; }
    ReadingListModel& Model() { return m_model; }
    const ReadingListModel& Model() const { return m_model; }

private:
    void ShowNewRow(qtm::RowOrigin origin);
    bool Append(float power, double energy, float seconds, const qtm::ReadingDetail& detail);
    void Added(qtm::RowOrigin origin) {
        for (const Listener& listener : m_listeners)
            if (listener.added) listener.added(m_buffer.Last(), origin);
    }

    qtm::ReadingBuffer m_buffer;
    qtm::ReadingDetails m_details;
    ReadingListModel m_model;
    ReadingListView* m_view = nullptr;
    std::vector<Listener> m_listeners;
};
