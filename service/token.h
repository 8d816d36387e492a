#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

namespace halvark::service {

// Compact JSON Web Tokens signed with HMAC-SHA256.
QString sign_token(const QJsonObject& claims, const QByteArray& key);

// The claims of a token whose signature matches and whose "exp" lies after `now`.
std::optional<QJsonObject> verify_token(const QString& token, const QByteArray& key, qint64 now);

}  // namespace halvark::service
