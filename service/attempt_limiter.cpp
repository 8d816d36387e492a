#include "attempt_limiter.h"

#include <algorithm>

namespace halvark::service {

void AttemptLimiter::forget_old(std::deque<qint64>& failures, qint64 now) const {
    while (!failures.empty() && failures.front() <= now - window_seconds_) {
        failures.pop_front();
    }
}

qint64 AttemptLimiter::retry_after(const QString& key, qint64 now) {
    const std::lock_guard lock(mutex_);
    return wait_locked(key, now);
}

qint64 AttemptLimiter::wait_locked(const QString& key, qint64 now) {
    const auto it = failures_.find(key);
    if (it == failures_.end()) {
        return 0;
    }
    forget_old(*it, now);
    if (it->empty()) {
        failures_.erase(it);
        return 0;
    }
    if (static_cast<int>(it->size()) < max_failures_) {
        return 0;
    }
    return it->front() + window_seconds_ - now;
}

void AttemptLimiter::sweep(qint64 now) {
    records_since_sweep_ = 0;
    last_sweep_ = now;
    for (auto it = failures_.begin(); it != failures_.end();) {
        forget_old(*it, now);
        it = it->empty() ? failures_.erase(it) : std::next(it);
    }
}

qint64 AttemptLimiter::reserve(const QString& key, qint64 now) {
    const std::lock_guard lock(mutex_);
    if (const qint64 wait = wait_locked(key, now); wait > 0) {
        return wait;
    }
    // Each sweep costs the table's size; it comes once a window has passed, or once as many
    // records have been made as the table holds.
    if (++records_since_sweep_ >= std::max<qsizetype>(failures_.size(), 1024) ||
        now - last_sweep_ >= window_seconds_) {
        sweep(now);
    }
    if (!failures_.contains(key) && failures_.size() >= kMaxKeys) {
        sweep(now);
        if (failures_.size() >= kMaxKeys) {
            return 0;  // still full of live keys: the other guards keep counting
        }
    }
    std::deque<qint64>& failures = failures_[key];
    forget_old(failures, now);
    failures.push_back(now);
    // A key under attack keeps no more than it needs to decide.
    while (static_cast<int>(failures.size()) > max_failures_) {
        failures.pop_front();
    }
    return 0;
}

void AttemptLimiter::release(const QString& key, qint64 at) {
    const std::lock_guard lock(mutex_);
    const auto it = failures_.find(key);
    if (it == failures_.end()) {
        return;
    }
    const auto reserved = std::find(it->rbegin(), it->rend(), at);
    if (reserved != it->rend()) {
        it->erase(std::next(reserved).base());
    }
    if (it->empty()) {
        failures_.erase(it);
    }
}

qsizetype AttemptLimiter::size() const {
    const std::lock_guard lock(mutex_);
    return failures_.size();
}

void AttemptLimiter::clear(const QString& key) {
    const std::lock_guard lock(mutex_);
    failures_.remove(key);
}

}  // namespace halvark::service
