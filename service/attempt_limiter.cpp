#include "attempt_limiter.h"

namespace halvark::service {

void AttemptLimiter::forget_old(std::deque<qint64>& failures, qint64 now) const {
    while (!failures.empty() && failures.front() <= now - window_seconds_) {
        failures.pop_front();
    }
}

qint64 AttemptLimiter::retry_after(const QString& key, qint64 now) {
    const std::lock_guard lock(mutex_);
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

void AttemptLimiter::record_failure(const QString& key, qint64 now) {
    const std::lock_guard lock(mutex_);
    std::deque<qint64>& failures = failures_[key];
    forget_old(failures, now);
    failures.push_back(now);
    // A key under attack keeps no more than it needs to decide.
    while (static_cast<int>(failures.size()) > max_failures_) {
        failures.pop_front();
    }
}

void AttemptLimiter::clear(const QString& key) {
    const std::lock_guard lock(mutex_);
    failures_.remove(key);
}

}  // namespace halvark::service
