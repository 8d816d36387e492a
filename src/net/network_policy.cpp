#include "net/network_policy.h"

#include <QUrl>
#include <algorithm>

namespace halvark::net {

bool is_web_address(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

bool is_plausible_bearer_token(const QString& token) {
    if (token.isEmpty() || token.size() > kMaxBearerTokenChars) {
        return false;
    }
    qsizetype end = token.size();
    while (end > 1 && token.at(end - 1) == QLatin1Char('=')) {
        --end;
    }
    return std::all_of(token.cbegin(), token.cbegin() + end, [](QChar c) {
        return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
               (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               QStringView(u"-._~+/").contains(c);
    });
}

std::optional<QByteArray> bearer_authorization(const QString& token) {
    if (!is_plausible_bearer_token(token)) {
        return std::nullopt;
    }
    return "Bearer " + token.toLatin1();
}

}  // namespace halvark::net
