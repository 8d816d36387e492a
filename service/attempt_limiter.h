#pragma once

#include <QHash>
#include <QString>
#include <deque>
#include <mutex>

namespace halvark::service {

// Failed sign-in attempts per key (a nickname, a client address) in a sliding window: past
// `max_failures` within `window_seconds` the key is refused until its oldest failure ages out.
// Keys whose failures have aged out are swept away as new ones come, and the table never
// holds more than `kMaxKeys`: any number of addresses cannot make it grow without bound.
class AttemptLimiter {
  public:
    AttemptLimiter(int max_failures, qint64 window_seconds)
        : max_failures_(max_failures), window_seconds_(window_seconds) {}

    // Seconds until `key` may try again; 0 when it may now.
    qint64 retry_after(const QString& key, qint64 now);
    // Counts an attempt as a failure before it is checked, so that simultaneous attempts
    // cannot all pass: 0 when counted, else the seconds until `key` may try again.
    qint64 reserve(const QString& key, qint64 now);
    // Takes back a reservation made at `at`: the attempt did not fail.
    void release(const QString& key, qint64 at);
    void record_failure(const QString& key, qint64 now) { reserve(key, now); }
    void clear(const QString& key);
    qsizetype size() const;

    static constexpr qsizetype kMaxKeys = 100000;

  private:
    qint64 wait_locked(const QString& key, qint64 now);
    void forget_old(std::deque<qint64>& failures, qint64 now) const;
    void sweep(qint64 now);

    const int max_failures_;
    const qint64 window_seconds_;
    mutable std::mutex mutex_;
    QHash<QString, std::deque<qint64>> failures_;
    qsizetype records_since_sweep_ = 0;
    qint64 last_sweep_ = 0;
};

}  // namespace halvark::service
