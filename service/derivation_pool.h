#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace halvark::service {

// Password derivations at once, as a resource: a few slots, so that guessing cannot take
// every core. An owner (an address that signed in to the nickname before) waits briefly for
// a slot and is served before anybody else; others get one only when it is free at once.
class DerivationPool {
  public:
    enum class Caller { Owner, Other };

    // A held slot, given back when it goes.
    class Slot {
      public:
        Slot() = default;
        explicit Slot(DerivationPool* pool) : pool_(pool) {}
        Slot(Slot&& other) noexcept : pool_(std::exchange(other.pool_, nullptr)) {}
        Slot& operator=(Slot&&) = delete;
        Slot(const Slot&) = delete;
        ~Slot() {
            if (pool_ != nullptr) {
                pool_->release();
            }
        }
        explicit operator bool() const { return pool_ != nullptr; }

      private:
        DerivationPool* pool_ = nullptr;
    };

    DerivationPool(int slots, std::chrono::milliseconds owner_wait)
        : free_(slots), owner_wait_(owner_wait) {}

    // An empty slot when none could be had.
    Slot acquire(Caller caller);
    int owners_waiting() const;

  private:
    void release();

    mutable std::mutex mutex_;
    std::condition_variable freed_;
    int free_;
    int owners_waiting_ = 0;
    const std::chrono::milliseconds owner_wait_;
};

}  // namespace halvark::service
