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

bool SignInGuard::known(const QString& nickname, const QString& client) const {
    const std::lock_guard lock(mutex_);
    return known_clients_.value(nickname).contains(client);
}

qint64 SignInGuard::retry_after(const QString& nickname, const QString& address, qint64 now) {
    const QString client = client_key(address);
    const QString name = nickname.trimmed().toLower();
    const qint64 by_client = clients_.retry_after(client, now);
    const qint64 by_name = known(name, client) ? 0 : nicknames_.retry_after(name, now);
    return std::max(by_client, by_name);
}

void SignInGuard::record_failure(const QString& nickname, const QString& address, qint64 now) {
    const QString client = client_key(address);
    const QString name = nickname.trimmed().toLower();
    clients_.record_failure(client, now);
    if (!known(name, client)) {
        nicknames_.record_failure(name, now);
    }
}

void SignInGuard::record_success(const QString& nickname, const QString& address) {
    const QString client = client_key(address);
    const std::lock_guard lock(mutex_);
    QStringList& clients = known_clients_[nickname.trimmed().toLower()];
    clients.removeAll(client);
    clients.prepend(client);
    while (clients.size() > kKnownAddressesPerNickname) {
        clients.removeLast();
    }
}

}  // namespace halvark::service
