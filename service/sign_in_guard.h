#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <mutex>

#include "attempt_limiter.h"
#include "nickname.h"

namespace halvark::service {

// Who may try a password now. Failures count per client address (an IPv6 client by its /64)
// and per nickname across all addresses, whether or not the nickname exists, so that no
// answer tells an existing name from an unknown one. Addresses that signed in to a nickname
// before are exempt from that nickname's count: an attacker elsewhere cannot lock the owner
// out, while guessing one account from many addresses stays slow.
class SignInGuard {
  public:
    static constexpr int kClientFailures = 5;
    static constexpr int kNicknameFailures = 20;
    static constexpr qint64 kWindowSeconds = 60;
    static constexpr int kKnownAddressesPerNickname = 8;

    // One attempt, counted as a failure in every count that applies before its password is
    // checked; `retry_after` > 0 when it may not be made now (then nothing was counted).
    struct Attempt {
        qint64 retry_after = 0;
        QString name;
        QString client;
        qint64 at = 0;
        bool counted_for_name = false;
    };
    Attempt reserve(const QString& nickname, const QString& address, qint64 now);
    // The attempt did not fail (a right password still waiting for its code, or never
    // checked): its reservation is taken back.
    void release(const Attempt& attempt);
    // The attempt signed in: taken back, and its address now counts as the owner's.
    void record_success(const Attempt& attempt);
    // Whether `address` signed in to `nickname` lately.
    bool is_owner(const QString& nickname, const QString& address) const;

    qsizetype tracked_keys() const { return clients_.size() + nicknames_.size(); }

  private:
    bool known(const QString& nickname, const QString& client) const;

    AttemptLimiter clients_{kClientFailures, kWindowSeconds};
    AttemptLimiter nicknames_{kNicknameFailures, kWindowSeconds};
    std::mutex reserve_mutex_;
    mutable std::mutex mutex_;
    QHash<QString, QStringList> known_clients_;
};

// The key of a client address: an IPv4 address as it is, an IPv6 one by its /64 prefix (a
// single subscriber usually holds a whole /64).
QString client_key(const QString& address);

}  // namespace halvark::service
