#include "app/windows/LineEventLog.h"

#include <QBrush>
#include <QColor>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "core/Clock.h"

namespace zir {

LineCategory CategoryOf(const LineEvent& event) {
    switch (event.kind) {
    case LineEvent::Kind::Sent: return LineCategory::Sent;
    case LineEvent::Kind::RequestEnd: return LineCategory::RequestEnd;
    case LineEvent::Kind::Read: break;
    }
    switch (event.check.verdict) {
    case FrameVerdict::Accepted: return LineCategory::Accepted;
    case FrameVerdict::NoReply: return LineCategory::NoReply;
    case FrameVerdict::PacketError: return LineCategory::PacketError;
    case FrameVerdict::Rejected: break;
    }
    return LineCategory::Rejected;
}

TLineEventLog::TLineEventLog(IClock& clock, QObject* parent, qsizetype capacity)
    : QAbstractListModel(parent),
      capacity_(std::max<qsizetype>(capacity, 1)),
      clock_(clock),
      flushTimer_(new QTimer(this)) {
    flushTimer_->setSingleShot(true);
    flushTimer_->setInterval(kDefaultBatchMs);
    connect(flushTimer_, &QTimer::timeout, this, &TLineEventLog::Flush);
}

void TLineEventLog::OnLineEvent(const LineEvent& event) {
    entries_.push_back(Entry{event, clock_.Now().time()});
    ++endSeq_;
    counters_.Add(event);
    // The oldest drop off at the next batch, many at a time; only a flood
    // that no batch follows makes them go at once.
    if (Kept() > capacity_ + capacity_ / 100) TrimToCapacity();
    ScheduleFlush();
}

void TLineEventLog::TrimToCapacity() {
    const qsizetype excess = Kept() - capacity_;
    if (excess <= 0) return;
    const std::uint64_t newFirst = firstSeq_ + static_cast<std::uint64_t>(excess);
    const auto gone =
        std::find_if(rows_.begin(), rows_.end(), [newFirst](std::uint64_t seq) { return seq >= newFirst; });
    if (gone != rows_.begin()) {
        beginRemoveRows({}, 0, static_cast<int>(gone - rows_.begin()) - 1);
        rows_.erase(rows_.begin(), gone);
        endRemoveRows();
    }
    entries_.erase(entries_.begin(), entries_.begin() + excess);
    firstSeq_ = newFirst;
    shownEnd_ = std::max(shownEnd_, firstSeq_);
}

void TLineEventLog::SetCapacity(qsizetype capacity) {
    capacity_ = std::max<qsizetype>(capacity, 1);
    Flush();
}

void TLineEventLog::ScheduleFlush() {
    if (!flushTimer_->isActive()) flushTimer_->start();
}

void TLineEventLog::SetBatchInterval(int ms) { flushTimer_->setInterval(std::max(ms, 0)); }

bool TLineEventLog::Passes(const Entry& entry) const {
    return (filter_ & static_cast<unsigned>(CategoryOf(entry.event))) != 0;
}

void TLineEventLog::Flush() {
    flushTimer_->stop();
    emit BatchStarting();
    TrimToCapacity();
    if (paused_) {
        // Only what is held back changes.
        emit Shown();
        return;
    }
    std::vector<std::uint64_t> added;
    for (std::uint64_t seq = std::max(shownEnd_, firstSeq_); seq < endSeq_; ++seq) {
        if (Passes(EntryAt(seq))) added.push_back(seq);
    }
    shownEnd_ = endSeq_;
    if (!added.empty()) {
        const int first = static_cast<int>(rows_.size());
        beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
        rows_.insert(rows_.end(), added.begin(), added.end());
        endInsertRows();
        for (int row = first; row < static_cast<int>(rows_.size()); ++row)
            widestLine_ = std::max(widestLine_, LineAt(row).size());
    }
    shownCounters_ = counters_;
    emit Shown();
}

void TLineEventLog::SetPaused(bool paused) {
    paused_ = paused;
    Flush();
}

void TLineEventLog::SetFilter(unsigned categories) {
    beginResetModel();
    filter_ = categories & kAllLineCategories;
    rows_.clear();
    for (std::uint64_t seq = firstSeq_; seq < shownEnd_; ++seq) {
        if (Passes(EntryAt(seq))) rows_.push_back(seq);
    }
    endResetModel();
    emit Shown();
}

void TLineEventLog::Clear() {
    beginResetModel();
    entries_.clear();
    firstSeq_ = endSeq_;
    shownEnd_ = endSeq_;
    rows_.clear();
    counters_ = {};
    shownCounters_ = {};
    widestLine_ = 0;
    endResetModel();
    emit Shown();
}

QString TLineEventLog::LineAt(int row) const {
    const Entry& entry = EntryAt(rows_[static_cast<std::size_t>(row)]);
    return FormatLineEvent(entry.event, entry.time);
}

QStringList TLineEventLog::Lines() const {
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(rows_.size()));
    for (int row = 0; row < static_cast<int>(rows_.size()); ++row) lines << LineAt(row);
    return lines;
}

int TLineEventLog::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant TLineEventLog::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole) return LineAt(index.row());
    if (role == kSequenceRole) return QVariant::fromValue<qulonglong>(rows_[static_cast<std::size_t>(index.row())]);
    if (role == Qt::ForegroundRole) {
        switch (CategoryOf(EntryAt(rows_[static_cast<std::size_t>(index.row())]).event)) {
        case LineCategory::Sent: return {};
        case LineCategory::Accepted: return QBrush(QColor(0x00, 0x66, 0x00));
        case LineCategory::NoReply: return QBrush(QColor(0x80, 0x80, 0x80));
        case LineCategory::PacketError:
        case LineCategory::Rejected: return QBrush(QColor(0xB0, 0x00, 0x00));
        case LineCategory::RequestEnd: return QBrush(QColor(0x00, 0x33, 0x99));
        }
    }
    return {};
}

} // namespace zir
