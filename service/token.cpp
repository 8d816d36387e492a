#include "token.h"

#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QStringList>

namespace halvark::service {

namespace {

constexpr auto kBase64Url = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

QByteArray signature(const QByteArray& signing_input, const QByteArray& key) {
    return QMessageAuthenticationCode::hash(signing_input, key, QCryptographicHash::Sha256)
        .toBase64(kBase64Url);
}

}  // namespace

QString sign_token(const QJsonObject& claims, const QByteArray& key) {
    const QByteArray header = QByteArray(R"({"alg":"HS256","typ":"JWT"})").toBase64(kBase64Url);
    const QByteArray payload =
        QJsonDocument(claims).toJson(QJsonDocument::Compact).toBase64(kBase64Url);
    const QByteArray signing_input = header + '.' + payload;
    return QString::fromLatin1(signing_input + '.' + signature(signing_input, key));
}

std::optional<QJsonObject> verify_token(const QString& token, const QByteArray& key, qint64 now) {
    const QStringList parts = token.split('.');
    if (parts.size() != 3) {
        return std::nullopt;
    }
    const QByteArray signing_input = (parts[0] + '.' + parts[1]).toLatin1();
    const QByteArray expected = signature(signing_input, key);
    const QByteArray given = parts[2].toLatin1();
    // Compare without an early exit so timing does not tell how much matched.
    if (given.size() != expected.size()) {
        return std::nullopt;
    }
    int difference = 0;
    for (qsizetype i = 0; i < given.size(); ++i) {
        difference |= given[i] ^ expected[i];
    }
    if (difference != 0) {
        return std::nullopt;
    }
    const auto decoded = QByteArray::fromBase64Encoding(
        parts[1].toLatin1(),
        QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    const QJsonObject claims = QJsonDocument::fromJson(*decoded).object();
    if (claims.value("exp").toInteger(0) <= now) {
        return std::nullopt;
    }
    return claims;
}

}  // namespace halvark::service
