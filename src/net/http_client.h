#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QTimer>
#include <QUrl>

namespace halvark::net {

using RawHeaders = QList<QPair<QByteArray, QByteArray>>;

struct TransferRequest {
    QByteArray method = "GET";  // "GET" or "POST"
    QUrl url;
    RawHeaders headers;
    QByteArray body;
    qint64 max_body_bytes = 0;
    int timeout_ms = 0;  // for the whole exchange, redirects included; 0: none
    // A password, token or report rides along: redirects stay on the request's origin, an
    // http address is never sent through a proxy, and no connection is kept for later.
    bool carries_credential = false;
};

// How a transfer ended, each with the words Qt's own HTTP stack gives it.
enum class Failure {
    None,
    ErrorStatus,  // a 4xx or 5xx answer arrived whole
    Canceled,     // aborted, timed out, or cut off past a limit
    ConnectionRefused,
    HostNotFound,
    ConnectionClosed,
    TlsFailed,
    InsecureRedirect,
    TooManyRedirects,
    ProxyRefused,
    ProxyNotFound,
    ProxyAuthentication,
    ProxyDenied,
    Protocol,
    Unavailable,  // no client at all (libcurl missing)
};

struct TransferResult {
    QUrl url;  // the last one asked, after redirects
    int status = 0;
    QByteArray reason;
    RawHeaders headers;  // of the final answer
    QByteArray body;     // of a finished exchange, error statuses included
    Failure failure = Failure::None;
    bool too_large = false;  // the body or the headers went past their bound
    QString error_text;      // translated; empty without a failure
};

// Qt's text for a failure, looked up where Qt's own catalogues hold it; the reason phrase is
// cut to one line.
QString failure_text(Failure failure, const QUrl& url, const QByteArray& reason);

class HttpClient;

// The home screen's plug-in connects to `finished` from a DLL of its own on Windows, where a
// signal's address is the launcher's (as connect compares it) only through the import table.
#if defined(Q_OS_WIN) && defined(HALVARK_IN_HOME_PLUGIN)
#define HALVARK_FROM_LAUNCHER Q_DECL_IMPORT
#else
#define HALVARK_FROM_LAUNCHER
#endif

// One exchange. `finished` is always emitted later, from the event loop, never from within
// a call of the transfer's own.
class HALVARK_FROM_LAUNCHER HttpTransfer : public QObject {
    Q_OBJECT
  public:
    ~HttpTransfer() override;
    const TransferResult& result() const { return result_; }
    bool is_running() const { return running_; }
    void abort();

  Q_SIGNALS:
    void finished();

  private:
    friend class HttpClient;
    HttpTransfer(TransferRequest request, QObject* parent);
    void finish(Failure failure);

    TransferRequest request_;
    TransferResult result_;
    QUrl origin_;
    QTimer deadline_;
    void* easy_ = nullptr;
    void* header_list_ = nullptr;
    qint64 header_bytes_ = 0;
    qint64 body_limit_ = 0;
    int hops_ = 0;
    bool proxied_ = false;
    bool running_ = true;
};

// The process's one HTTP client: libcurl's multi interface driven by this thread's event
// loop (socket notifiers and one single-shot timer, as libcurl asks for them). Every bound
// holds whatever the status: the body, 64 KiB of headers with interim answers counted, the
// exchange's time-out.
class HttpClient : public QObject {
  public:
    static HttpClient& instance();
    HttpTransfer* start(TransferRequest request, QObject* parent = nullptr);

  private:
    HttpClient();
    ~HttpClient() override;
    friend class HttpTransfer;
    struct Private;
    Private* d;
};

// The most the status line and headers of one answer may weigh, interim answers included.
constexpr qint64 kMaxAnswerHeaderBytes = 64LL * 1024;

}  // namespace halvark::net
