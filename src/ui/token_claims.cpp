#include "ui/token_claims.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace halvark::ui {

QString display_name_from_token(const QString& access_token) {
    const QStringList parts = access_token.split('.');
    if (parts.size() < 2) {
        return {};
    }
    QByteArray payload = parts.at(1).toUtf8();
    payload.replace('-', '+').replace('_', '/');
    while (payload.size() % 4 != 0) {
        payload.append('=');
    }
    const QJsonObject claims = QJsonDocument::fromJson(QByteArray::fromBase64(payload)).object();
    for (const char* claim : {"nickname", "username", "preferred_username", "name"}) {
        QString value = claims.value(QLatin1String(claim)).toString().trimmed();
        if (!value.isEmpty()) {
            return value;
        }
    }
    return {};
}

}  // namespace halvark::ui
