#pragma once
// The events the line monitor keeps: the last Capacity() events (older ones
// drop off), the counters since the last clear, and a list model of the
// events that pass the filter, one text line per row.
//
// Events are taken in at once (the exchange reports them while it waits on
// the line) and shown in batches: the rows that arrived since the last
// batch are appended at most every 200 ms, when the event loop runs, so a
// bank reading that brings an event every few milliseconds costs the view
// an insertion and a repaint a few times a second, not one per event. While paused, events are still taken in and
// counted, but the rows and counters shown stay as they were until the pause ends.

#include <QAbstractListModel>
#include <QStringList>
#include <QTime>
#include <cstdint>
#include <deque>

#include "link/LineObserver.h"

class QTimer;

namespace zir {

class IClock;

// What the filter tells apart.
enum class LineCategory : unsigned {
    Sent = 1u << 0,
    Accepted = 1u << 1,
    NoReply = 1u << 2,
    PacketError = 1u << 3,
    Rejected = 1u << 4,
    RequestEnd = 1u << 5,
};
inline constexpr unsigned kAllLineCategories = 0x3Fu;
LineCategory CategoryOf(const LineEvent& event);

class TLineEventLog final : public QAbstractListModel, public ILineObserver {
    Q_OBJECT

public:
    static constexpr qsizetype kDefaultCapacity = 100000;
    static constexpr int kDefaultBatchMs = 200;

    // Each event is shown with the time of day `clock` gives when it is
    // reported (the exchange reports as it happens).
    explicit TLineEventLog(IClock& clock, QObject* parent = nullptr, qsizetype capacity = kDefaultCapacity);

    // ILineObserver: keeps the event and counts it; the rows follow at the
    // next batch, which also lets the oldest events beyond the capacity go
    // (until then at most 1 % more are kept).
    void OnLineEvent(const LineEvent& event) override;

    // The longest wait from an event to its batch (0: the next pass of the
    // event loop).
    void SetBatchInterval(int ms);
    // Shows what has arrived since the last batch; while paused only tells
    // that more is held back.
    void Flush();
    void SetPaused(bool paused);
    bool Paused() const { return paused_; }
    // A set of LineCategory bits; rows are rebuilt from the kept events.
    void SetFilter(unsigned categories);
    unsigned Filter() const { return filter_; }
    // Forgets every event and the counters.
    void Clear();

    qsizetype Capacity() const { return capacity_; }
    // A new capacity (at least 1): a batch follows at once, in which the
    // oldest events beyond it go.
    void SetCapacity(qsizetype capacity);
    // Events kept (shown or not; at most Capacity() after a batch), and
    // those taken in but not shown yet.
    qsizetype Kept() const { return static_cast<qsizetype>(entries_.size()); }
    qsizetype HeldBack() const { return static_cast<qsizetype>(endSeq_ - shownEnd_); }
    // As shown: frozen while paused.
    const LineCounters& Counters() const { return shownCounters_; }
    // The lines of the rows, in order.
    QStringList Lines() const;
    QString LineAt(int row) const;
    // Characters in the longest line shown since the last clear.
    qsizetype WidestLine() const { return widestLine_; }

    // Besides the line (DisplayRole) and its colour (ForegroundRole), each
    // row gives its event's number in arrival order, which never changes
    // while the event is kept (a key for caching what a row shows).
    static constexpr int kSequenceRole = Qt::UserRole + 1;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    // A batch begins: rows may go and come.
    void BatchStarting();
    // A batch has been shown (or held back while paused), or the rows or
    // counters changed otherwise.
    void Shown();

private:
    struct Entry {
        LineEvent event;
        QTime time;
    };
    const Entry& EntryAt(std::uint64_t seq) const { return entries_[static_cast<std::size_t>(seq - firstSeq_)]; }
    bool Passes(const Entry& entry) const;
    void ScheduleFlush();
    void TrimToCapacity();

    qsizetype capacity_;
    IClock& clock_;
    // Events numbered in arrival order: entries_ holds firstSeq_ to endSeq_ - 1.
    std::deque<Entry> entries_;
    std::uint64_t firstSeq_ = 0;
    std::uint64_t endSeq_ = 0;
    // Events before shownEnd_ have been through a batch.
    std::uint64_t shownEnd_ = 0;
    // The numbers of the events that the rows show, in row order.
    std::deque<std::uint64_t> rows_;
    LineCounters counters_;
    LineCounters shownCounters_;
    unsigned filter_ = kAllLineCategories;
    qsizetype widestLine_ = 0;
    bool paused_ = false;
    QTimer* flushTimer_;
};

} // namespace zir
