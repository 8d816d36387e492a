#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

namespace halvark::net {

// One request that carries a credential (sign-in, current user, hardware id, crash report).
struct HttpRequest {
    QByteArray method;  // "GET" or "POST"
    QUrl url;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
};

struct HttpAnswer {
    int status = 0;   // 0 when no answer arrived
    QByteArray body;  // of a finished exchange, error statuses included
    // Why the exchange failed, in the toolkit's words: no answer, a cut one, or an error
    // status (4xx, 5xx); empty when a non-error answer arrived whole.
    QString error;
    bool too_large = false;

    bool succeeded() const { return error.isEmpty() && status >= 200 && status <= 299; }
};

// Runs `request` in a nested event loop (the window keeps repainting, with a busy cursor) on
// the process's HTTP client, as a request that carries a credential: the body up to
// `max_body_bytes`, for at most `timeout_ms` in all, redirects only within the request's
// origin, never through a proxy in clear, and the connection closed when the exchange ends.
HttpAnswer exchange(HttpRequest request, int timeout_ms, qint64 max_body_bytes);

}  // namespace halvark::net
