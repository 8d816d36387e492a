#include "derivation_pool.h"

namespace halvark::service {

DerivationPool::Slot DerivationPool::acquire(Caller caller) {
    std::unique_lock lock(mutex_);
    if (caller == Caller::Other) {
        if (free_ == 0 || owners_waiting_ > 0) {
            return Slot();
        }
    } else {
        ++owners_waiting_;
        const bool freed = freed_.wait_for(lock, owner_wait_, [this] { return free_ > 0; });
        --owners_waiting_;
        if (!freed) {
            return Slot();
        }
    }
    --free_;
    return Slot(this);
}

int DerivationPool::owners_waiting() const {
    const std::lock_guard lock(mutex_);
    return owners_waiting_;
}

void DerivationPool::release() {
    {
        const std::lock_guard lock(mutex_);
        ++free_;
    }
    freed_.notify_one();
}

}  // namespace halvark::service
