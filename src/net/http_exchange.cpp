#include "net/http_exchange.h"

#include <curl/curl.h>

#include <QCoreApplication>
#include <QCursor>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <memory>
#include <mutex>

#include "net/network_policy.h"

namespace halvark::net {

namespace {

constexpr int kMaxRedirects = 5;
constexpr int kPollIntervalMs = 5;

struct Transfer {
    qint64 max_body_bytes = 0;
    qint64 header_bytes = 0;
    bool header_overflow = false;
    bool too_large = false;
    QByteArray body;
    QByteArray location;
    QByteArray reason;
};

size_t take_body(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const qint64 bytes = static_cast<qint64>(size) * static_cast<qint64>(count);
    if (transfer->body.size() + bytes > transfer->max_body_bytes) {
        transfer->too_large = true;
        return 0;  // ends the transfer
    }
    transfer->body.append(data, bytes);
    return size * count;
}

size_t take_header(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const qint64 bytes = static_cast<qint64>(size) * static_cast<qint64>(count);
    transfer->header_bytes += bytes;
    if (transfer->header_bytes > kMaxAnswerHeaderBytes) {
        transfer->header_overflow = true;
        return 0;
    }
    const QByteArray line = QByteArray(data, bytes).trimmed();
    if (line.startsWith("HTTP/")) {
        transfer->location.clear();  // a new (final or interim) answer begins
        const qsizetype code_at = line.indexOf(' ');
        const qsizetype reason_at = code_at < 0 ? -1 : line.indexOf(' ', code_at + 1);
        transfer->reason = reason_at < 0 ? QByteArray() : line.mid(reason_at + 1);
    } else if (line.toLower().startsWith("location:")) {
        transfer->location = line.mid(9).trimmed();
    }
    return size * count;
}

// Qt's own words (and translations) for what the player may read in a sign-in warning.
QString describe(CURLcode code) {
    switch (code) {
        case CURLE_OPERATION_TIMEDOUT:
            return QCoreApplication::translate("QNetworkReply", "Operation canceled");
        case CURLE_COULDNT_CONNECT:
            return QCoreApplication::translate("QAbstractSocket", "Connection refused");
        case CURLE_COULDNT_RESOLVE_HOST:
            return QCoreApplication::translate("QAbstractSocket", "Host not found");
        case CURLE_GOT_NOTHING:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
            return QCoreApplication::translate("QAbstractSocket",
                                               "The remote host closed the connection");
        default:
            return QString::fromUtf8(curl_easy_strerror(code));
    }
}

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// One attempt, without following redirects; `remaining_ms` bounds it.
CURLcode run_once(const HttpRequest& request, qint64 remaining_ms, Transfer& transfer,
                  long& status) {
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!easy || !multi) {
        return CURLE_FAILED_INIT;
    }
    std::unique_ptr<curl_slist, ListDeleter> headers;
    // No "Expect: 100-continue" round trip: the body goes at once, as it always has.
    for (const auto& [name, value] :
         request.headers + QList<QPair<QByteArray, QByteArray>>{{"Expect", QByteArray()}}) {
        const QByteArray line = name + (value.isEmpty() ? QByteArray(":") : ": " + value);
        headers.reset(curl_slist_append(headers.release(), line.constData()));
    }
    const QByteArray url = request.url.toEncoded();
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(handle, CURLOPT_FRESH_CONNECT, 1L);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(std::max<qint64>(remaining_ms, 1)));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE,
                     static_cast<curl_off_t>(transfer.max_body_bytes));
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, take_body);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, take_header);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    if (request.method == "POST") {
        curl_easy_setopt(handle, CURLOPT_POST, 1L);
        curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.constData());
        curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                         static_cast<curl_off_t>(request.body.size()));
    } else {
        curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    }
    curl_multi_add_handle(multi.get(), handle);

    // curl does the reading in small steps between which the window repaints.
    CURLcode result = CURLE_OK;
    bool done = false;
    QEventLoop loop;
    QTimer step;
    step.setInterval(kPollIntervalMs);
    QObject::connect(&step, &QTimer::timeout, &loop, [&] {
        int running = 0;
        curl_multi_perform(multi.get(), &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                done = true;
            }
        }
        if (done || running == 0) {
            loop.quit();
        }
    });
    step.start();
    loop.exec();
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    curl_multi_remove_handle(multi.get(), handle);
    return done ? result : CURLE_OPERATION_TIMEDOUT;
}

bool same_origin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(a.scheme() == "https" ? 443 : 80) == b.port(b.scheme() == "https" ? 443 : 80);
}

}  // namespace

HttpAnswer exchange(HttpRequest request, int timeout_ms, qint64 max_body_bytes) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    const bool has_cursor = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (has_cursor) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
    }
    const QDeadlineTimer deadline(timeout_ms, Qt::PreciseTimer);
    HttpAnswer answer;
    const QUrl origin = request.url;
    for (int hop = 0;; ++hop) {
        Transfer transfer;
        transfer.max_body_bytes = max_body_bytes;
        long status = 0;
        const CURLcode code = run_once(request, deadline.remainingTime(), transfer, status);
        answer.status = static_cast<int>(status);
        answer.body = transfer.body;
        answer.too_large = transfer.too_large || code == CURLE_FILESIZE_EXCEEDED;
        if (answer.too_large) {
            answer.error = QStringLiteral("The answer was too large");
        } else if (transfer.header_overflow) {
            answer.error = QStringLiteral("The answer's headers were too large");
        } else if (code != CURLE_OK) {
            answer.error = describe(code);
        }
        const bool redirect =
            answer.error.isEmpty() && !transfer.location.isEmpty() &&
            (status == 301 || status == 302 || status == 303 || status == 307 || status == 308);
        if (!redirect) {
            if (answer.error.isEmpty() && answer.status >= 400) {
                answer.error =
                    QCoreApplication::translate("QNetworkReply",
                                                "Error transferring %1 - server replied: %2")
                        .arg(request.url.toString(), QString::fromLatin1(transfer.reason));
            }
            break;
        }
        const QUrl target = request.url.resolved(QUrl::fromEncoded(transfer.location));
        // The credential stays home: a redirect that leaves the origin ends the exchange.
        if (hop == kMaxRedirects || !same_origin(origin, target) || !is_web_address(target)) {
            answer.error = QCoreApplication::translate("QNetworkReply", "Insecure redirect");
            break;
        }
        request.url = target;
        if (status == 303 || (request.method == "POST" && status != 307 && status != 308)) {
            request.method = "GET";
            request.body.clear();
        }
    }
    if (has_cursor) {
        QGuiApplication::restoreOverrideCursor();
    }
    return answer;
}

}  // namespace halvark::net
