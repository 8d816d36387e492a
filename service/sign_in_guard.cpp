#include "sign_in_guard.h"

#include <QHostAddress>
#include <algorithm>

namespace halvark::service {

QString client_key(const QString& address) {
    QHostAddress host(address);
    if (host.protocol() != QAbstractSocket::IPv6Protocol || host.toIPv4Address() != 0) {
        return address;
    }
    Q_IPV6ADDR bytes = host.toIPv6Address();
    std::fill(bytes.c + 8, bytes.c + 16, quint8(0));
    return QHostAddress(bytes).toString() + "/64";
}

bool SignInGuard::known(const QString& name, const QString& client) const {
    const std::lock_guard lock(mutex_);
    return known_clients_.value(name).contains(client);
}

bool SignInGuard::is_owner(const QString& nickname, const QString& address) const {
    return known(canonical_nickname(nickname), client_key(address));
}

SignInGuard::Attempt SignInGuard::reserve(const QString& nickname, const QString& address,
                                          qint64 now) {
    Attempt attempt{0, canonical_nickname(nickname), client_key(address), now, false};
    attempt.counted_for_name = !known(attempt.name, attempt.client);
    // Both counts move together, or neither does.
    const std::lock_guard lock(reserve_mutex_);
    attempt.retry_after = clients_.reserve(attempt.client, now);
    if (attempt.retry_after > 0 || !attempt.counted_for_name) {
        return attempt;
    }
    attempt.retry_after = nicknames_.reserve(attempt.name, now);
    if (attempt.retry_after > 0) {
        clients_.release(attempt.client, now);
    }
    return attempt;
}

void SignInGuard::release(const Attempt& attempt) {
    clients_.release(attempt.client, attempt.at);
    if (attempt.counted_for_name) {
        nicknames_.release(attempt.name, attempt.at);
    }
}

void SignInGuard::record_success(const Attempt& attempt) {
    release(attempt);
    const std::lock_guard lock(mutex_);
    QStringList& clients = known_clients_[attempt.name];
    clients.removeAll(attempt.client);
    clients.prepend(attempt.client);
    while (clients.size() > kKnownAddressesPerNickname) {
        clients.removeLast();
    }
}

}  // namespace halvark::service
