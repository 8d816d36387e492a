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

// The most the status line and headers of one answer may weigh, interim answers included.
constexpr qint64 kMaxAnswerHeaderBytes = 64LL * 1024;

// Runs `request` in a nested event loop (the window keeps repainting, with a busy cursor)
// through a client that reads no more than it was asked to: the body up to `max_body_bytes`,
// the headers up to kMaxAnswerHeaderBytes, for at most `timeout_ms` in all, whatever the
// answer's status (Qt 6.4 reads a 401 or 407 body, and endless header lines, in a loop that
// nothing interrupts). TLS is always verified, redirects are followed only within the
// request's origin, and the connection is closed when the exchange ends.
HttpAnswer exchange(HttpRequest request, int timeout_ms, qint64 max_body_bytes);

}  // namespace halvark::net
