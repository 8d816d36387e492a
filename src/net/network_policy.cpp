#include "net/network_policy.h"

#include <QNetworkReply>
#include <QNetworkRequest>
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

namespace {

constexpr char kLimitProperty[] = "halvark_max_bytes";

bool over_limit(const QNetworkReply* reply) {
    bool limited = false;
    const qint64 limit = reply->property(kLimitProperty).toLongLong(&limited);
    return limited && reply->bytesAvailable() > limit;
}

}  // namespace

void limit_reply_size(QNetworkReply* reply, qint64 max_bytes) {
    reply->setProperty(kLimitProperty, max_bytes);
    // Without a bound the network thread reads on as fast as the peer sends, far ahead of
    // the progress signals that would stop it; with one it waits once the buffer is full. On
    // Windows a buffer that fills up stalls before the signals report the excess, so the
    // buffer holds twice the limit: the excess always arrives and is seen.
    reply->setReadBufferSize(2 * max_bytes + 1);
    const auto abort_past = [reply, max_bytes](qint64 bytes) {
        if (bytes > max_bytes && reply->isRunning()) {
            reply->abort();
        }
    };
    // The announced total (-1 when unknown) comes with the first bytes.
    QObject::connect(
        reply, &QNetworkReply::downloadProgress, reply,
        [abort_past](qint64 received, qint64 total) { abort_past(std::max(received, total)); });
    // The buffered bytes tell too, should progress go unreported.
    QObject::connect(reply, &QNetworkReply::readyRead, reply,
                     [reply, abort_past] { abort_past(reply->bytesAvailable()); });
}

std::optional<QByteArray> read_reply_body(QNetworkReply* reply) {
    if (!reply->isOpen() || over_limit(reply)) {
        return std::nullopt;
    }
    return reply->readAll();
}

QString reply_error_text(QNetworkReply* reply) {
    return reply->isOpen() && over_limit(reply) ? QStringLiteral("The answer was too large")
                                                : reply->errorString();
}

}  // namespace halvark::net
