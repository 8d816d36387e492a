#include "app/network_policy.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace halvark::app {

bool is_web_address(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void keep_redirects_on_origin(QNetworkRequest& request) {
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::SameOriginRedirectPolicy);
}

void limit_reply_size(QNetworkReply* reply, qint64 max_bytes) {
    // Without a bound the network thread reads on as fast as the peer sends, far ahead of
    // the progress signals that would stop it; with one it waits once the limit is passed.
    reply->setReadBufferSize(max_bytes + 1);
    const auto abort_past = [reply, max_bytes](qint64 bytes) {
        if (bytes > max_bytes && reply->isRunning()) {
            reply->abort();
        }
    };
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, abort_past] {
        bool known = false;
        const qint64 announced =
            reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&known);
        if (known) {
            abort_past(announced);
        }
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply,
                     [abort_past](qint64 received, qint64) { abort_past(received); });
}

QByteArray read_reply_body(QNetworkReply* reply) {
    return reply->isOpen() ? reply->readAll() : QByteArray();
}

}  // namespace halvark::app
