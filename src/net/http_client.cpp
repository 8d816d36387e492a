#include "net/http_client.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <QSocketNotifier>

#include "net/curl_library.h"
#include "net/network_policy.h"
#include "net/proxy_rules.h"
#include "outside/outside_data.h"

namespace halvark::net {

namespace {

constexpr int kMaxRedirects = 5;
constexpr qint64 kMaxErrorBodyBytes = 64LL * 1024;

bool is_https(const QUrl& url) {
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

bool same_origin(const QUrl& a, const QUrl& b) {
    return a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           a.port(is_https(a) ? 443 : 80) == b.port(is_https(b) ? 443 : 80);
}

bool is_redirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Failure failure_of(CURLcode code, long proxy_status, bool proxied) {
    switch (code) {
        case CURLE_OK:
            return Failure::None;
        case CURLE_COULDNT_CONNECT:
            return proxied ? Failure::ProxyRefused : Failure::ConnectionRefused;
        case CURLE_COULDNT_RESOLVE_HOST:
            return Failure::HostNotFound;
        case CURLE_COULDNT_RESOLVE_PROXY:
            return Failure::ProxyNotFound;
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
            return Failure::ConnectionClosed;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_USE_SSL_FAILED:
            return Failure::TlsFailed;
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_ABORTED_BY_CALLBACK:
        case CURLE_WRITE_ERROR:
        case CURLE_FILESIZE_EXCEEDED:
            return Failure::Canceled;
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_URL_MALFORMAT:
            return Failure::Protocol;
        default:
            break;
    }
    if (proxied && proxy_status == 407) {
        return Failure::ProxyAuthentication;
    }
    if (proxied && proxy_status >= 300) {
        return Failure::ProxyDenied;
    }
    return code == CURLE_RECV_ERROR ? Failure::ConnectionClosed : Failure::Protocol;
}

}  // namespace

QString failure_text(Failure failure, const QUrl& url, const QByteArray& reason) {
    const auto qt = [](const char* context, const char* text) {
        return QCoreApplication::translate(context, text);
    };
    switch (failure) {
        case Failure::None:
            return {};
        case Failure::ErrorStatus:
            return qt("QNetworkReply", "Error transferring %1 - server replied: %2")
                .arg(outside::cut_service_text(url.toString(), outside::kServiceLineChars),
                     outside::cut_service_text(QString::fromLatin1(reason),
                                               outside::kServiceLineChars));
        case Failure::Canceled:
            return qt("QNetworkReplyHttpImpl", "Operation canceled");
        case Failure::ConnectionRefused:
            return qt("QHttp", "Connection refused");
        case Failure::HostNotFound:
            return qt("QHttp", "Host %1 not found")
                .arg(outside::cut_service_text(url.host(), outside::kServiceLineChars));
        case Failure::ConnectionClosed:
            return qt("QHttp", "Connection closed");
        case Failure::TlsFailed:
            return qt("QHttp", "SSL handshake failed");
        case Failure::InsecureRedirect:
            return qt("QHttp", "Insecure redirect");
        case Failure::TooManyRedirects:
            return qt("QHttp", "Too many redirects");
        case Failure::ProxyRefused:
            return qt("QHttpSocketEngine", "Proxy connection refused");
        case Failure::ProxyNotFound:
            return qt("QHttpSocketEngine", "Proxy server not found");
        case Failure::ProxyAuthentication:
            return qt("QHttp", "Proxy requires authentication");
        case Failure::ProxyDenied:
            return qt("QHttpSocketEngine", "Proxy denied connection");
        case Failure::Protocol:
            return qt("QHttp", "Data corrupted");
        case Failure::Unavailable:
            return qt("QHttp", "Unknown protocol specified");
    }
    return {};
}

struct HttpClient::Private {
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    const CurlLibrary* curl = curl_library();
    CURLM* multi = nullptr;
    QTimer timer;
    QHash<curl_socket_t, Watch> watches;
    QSet<HttpTransfer*> active;

    void act(curl_socket_t socket, int events);
    void collect_finished();
    void begin(HttpTransfer* transfer);
    void end(HttpTransfer* transfer);
    void set_watch(curl_socket_t socket, int what);
    static size_t take_body(char* data, size_t size, size_t count, void* user);
    static size_t take_header(char* data, size_t size, size_t count, void* user);
};

namespace {

QPointer<HttpClient> g_client;  // NOLINT(cppcoreguidelines-avoid-non-const-global-variables)

}  // namespace

// libcurl asks for what it wants to hear about a socket: reads, writes, both or nothing.
void HttpClient::Private::set_watch(curl_socket_t socket, int what) {
    Watch& watch = watches[socket];
    const auto retire = [](QSocketNotifier*& notifier) {
        if (notifier != nullptr) {
            notifier->setEnabled(false);
            notifier->deleteLater();  // it may be the one whose signal runs now
            notifier = nullptr;
        }
    };
    const bool read = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool write = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    const auto watch_for = [this, socket](QSocketNotifier::Type type, int event) {
        auto* notifier = new QSocketNotifier(static_cast<qintptr>(socket), type, &timer);
        QObject::connect(notifier, &QSocketNotifier::activated, &timer,
                         [this, socket, event] { act(socket, event); });
        return notifier;
    };
    if (!read) {
        retire(watch.read);
    } else if (watch.read == nullptr) {
        watch.read = watch_for(QSocketNotifier::Read, CURL_CSELECT_IN);
    }
    if (!write) {
        retire(watch.write);
    } else if (watch.write == nullptr) {
        watch.write = watch_for(QSocketNotifier::Write, CURL_CSELECT_OUT);
    }
    if (what == CURL_POLL_REMOVE) {
        watches.remove(socket);
    }
}

void HttpClient::Private::act(curl_socket_t socket, int events) {
    int running = 0;
    curl->multi_socket_action(multi, socket, events, &running);
    collect_finished();
}

void HttpClient::Private::collect_finished() {
    int queued = 0;
    while (CURLMsg* message = curl->multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        HttpTransfer* transfer = nullptr;
        curl->easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        const CURLcode code = message->data.result;
        long status = 0;
        long proxy_status = 0;
        curl->easy_getinfo(message->easy_handle, CURLINFO_RESPONSE_CODE, &status);
        curl->easy_getinfo(message->easy_handle, CURLINFO_HTTP_CONNECTCODE, &proxy_status);
        const bool proxied = transfer->proxied_;
        end(transfer);
        TransferResult& result = transfer->result_;
        result.status = static_cast<int>(status);
        if (result.too_large || code == CURLE_FILESIZE_EXCEEDED) {
            result.too_large = true;
            qWarning().noquote() << "An answer from"
                                 << outside::cut_service_text(transfer->request_.url.host(),
                                                              outside::kServiceLineChars)
                                 << "was cut off: larger than its bound";
            transfer->finish(Failure::Canceled);
            continue;
        }
        if (code != CURLE_OK) {
            transfer->finish(failure_of(code, proxy_status, proxied));
            continue;
        }
        const QByteArray location = [&result] {
            for (const auto& [name, value] : result.headers) {
                if (name.compare("location", Qt::CaseInsensitive) == 0) {
                    return value;
                }
            }
            return QByteArray();
        }();
        if (!is_redirect(result.status) || location.isEmpty()) {
            transfer->finish(result.status >= 400 ? Failure::ErrorStatus : Failure::None);
            continue;
        }
        const QUrl target = transfer->request_.url.resolved(QUrl::fromEncoded(location));
        const bool allowed = is_web_address(target) &&
                             (transfer->request_.carries_credential
                                  ? same_origin(transfer->origin_, target)
                                  : !(is_https(transfer->request_.url) && !is_https(target)));
        if (!allowed) {
            transfer->finish(Failure::InsecureRedirect);
            continue;
        }
        if (++transfer->hops_ > kMaxRedirects) {
            transfer->finish(Failure::TooManyRedirects);
            continue;
        }
        TransferRequest& request = transfer->request_;
        request.url = target;
        if (result.status == 303 ||
            (request.method == "POST" && result.status != 307 && result.status != 308)) {
            request.method = "GET";
            request.body.clear();
        }
        begin(transfer);
    }
}

void HttpClient::Private::begin(HttpTransfer* transfer) {
    TransferRequest& request = transfer->request_;
    TransferResult& result = transfer->result_;
    result = TransferResult{};
    result.url = request.url;
    transfer->header_bytes_ = 0;
    CURL* easy = curl->easy_init();
    if (easy == nullptr) {
        transfer->finish(Failure::Unavailable);
        return;
    }
    transfer->easy_ = easy;
    curl_slist* headers = nullptr;
    // No "Expect: 100-continue" round trip and no "Accept" of libcurl's own: only ours.
    RawHeaders lines = request.headers;
    lines.append({"Expect", QByteArray()});
    if (std::none_of(lines.cbegin(), lines.cend(), [](const auto& header) {
            return header.first.compare("accept", Qt::CaseInsensitive) == 0;
        })) {
        lines.append({"Accept", QByteArray()});
    }
    for (const auto& [name, value] : lines) {
        const QByteArray line = name + (value.isEmpty() ? QByteArray(":") : ": " + value);
        headers = curl->slist_append(headers, line.constData());
    }
    transfer->header_list_ = headers;
    const QByteArray url = request.url.toEncoded();
    const bool secure = is_https(request.url);
    QByteArray proxy = ProxyRules::current().proxy_for(request.url);
    if (request.carries_credential && !secure) {
        proxy.clear();  // a proxy would read the password or token in clear
    }
    transfer->proxied_ = !proxy.isEmpty();
    const auto set = [this, easy](CURLoption option, auto value) {
        curl->easy_setopt(easy, option, value);
    };
    set(CURLOPT_URL, url.constData());
    set(CURLOPT_PRIVATE, static_cast<void*>(transfer));
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_HTTPHEADER, headers);
    set(CURLOPT_NOSIGNAL, 1L);
    // Copied: the proxy rules' text is libcurl's to keep until the handle goes.
    set(CURLOPT_PROXY, proxy.constData());
    set(CURLOPT_NOPROXY, "");  // the rules above are the only ones
#ifdef Q_OS_WIN
    // A revocation list that cannot be fetched (a school's filter) does not fail the exchange.
    set(CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_REVOKE_BEST_EFFORT));
#endif
    if (request.carries_credential) {
        set(CURLOPT_FORBID_REUSE, 1L);
        set(CURLOPT_FRESH_CONNECT, 1L);
    }
    set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.max_body_bytes));
    set(CURLOPT_WRITEFUNCTION, take_body);
    set(CURLOPT_WRITEDATA, static_cast<void*>(transfer));
    set(CURLOPT_HEADERFUNCTION, take_header);
    set(CURLOPT_HEADERDATA, static_cast<void*>(transfer));
    if (request.method == "POST") {
        set(CURLOPT_POST, 1L);
        set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        set(CURLOPT_POSTFIELDS, request.body.constData());
    } else {
        set(CURLOPT_HTTPGET, 1L);
    }
    active.insert(transfer);
    curl->multi_add_handle(multi, easy);
}

void HttpClient::Private::end(HttpTransfer* transfer) {
    active.remove(transfer);
    if (transfer->easy_ != nullptr) {
        curl->multi_remove_handle(multi, transfer->easy_);
        curl->easy_cleanup(transfer->easy_);
        transfer->easy_ = nullptr;
    }
    if (transfer->header_list_ != nullptr) {
        curl->slist_free_all(static_cast<curl_slist*>(transfer->header_list_));
        transfer->header_list_ = nullptr;
    }
}

size_t HttpClient::Private::take_body(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<HttpTransfer*>(user);
    TransferResult& result = transfer->result_;
    const qint64 bytes = static_cast<qint64>(size) * static_cast<qint64>(count);
    if (result.body.isEmpty()) {
        long status = 0;
        g_client->d->curl->easy_getinfo(transfer->easy_, CURLINFO_RESPONSE_CODE, &status);
        transfer->body_limit_ = transfer->request_.max_body_bytes;
        // Only the account's requests read an error's body; for the rest a page is plenty.
        if (status >= 400 && !transfer->request_.carries_credential) {
            transfer->body_limit_ = std::min(transfer->body_limit_, kMaxErrorBodyBytes);
        }
        curl_off_t announced = -1;
        g_client->d->curl->easy_getinfo(transfer->easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T,
                                        &announced);
        if (announced > 0 && announced <= transfer->body_limit_) {
            result.body.reserve(static_cast<qsizetype>(announced));
        }
    }
    if (result.body.size() + bytes > transfer->body_limit_) {
        result.too_large = true;
        return 0;  // ends the transfer
    }
    result.body.append(data, bytes);
    return size * count;
}

size_t HttpClient::Private::take_header(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<HttpTransfer*>(user);
    TransferResult& result = transfer->result_;
    const qint64 bytes = static_cast<qint64>(size) * static_cast<qint64>(count);
    transfer->header_bytes_ += bytes;
    if (transfer->header_bytes_ > kMaxAnswerHeaderBytes) {
        result.too_large = true;
        return 0;
    }
    const QByteArray line = QByteArray(data, bytes).trimmed();
    if (line.startsWith("HTTP/")) {
        result.headers.clear();  // a new (final or interim) answer begins
        const qsizetype code_at = line.indexOf(' ');
        const qsizetype reason_at = code_at < 0 ? -1 : line.indexOf(' ', code_at + 1);
        result.reason = reason_at < 0 ? QByteArray() : line.mid(reason_at + 1);
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        result.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return size * count;
}

HttpClient::HttpClient() : d(new Private) {
    d->timer.setSingleShot(true);
    QObject::connect(&d->timer, &QTimer::timeout, this, [this] {
        int running = 0;
        d->curl->multi_socket_action(d->multi, CURL_SOCKET_TIMEOUT, 0, &running);
        d->collect_finished();
    });
    if (d->curl == nullptr) {
        return;
    }
    d->multi = d->curl->multi_init();
    const auto on_socket = [](CURL*, curl_socket_t socket, int what, void* self, void*) {
        static_cast<Private*>(self)->set_watch(socket, what);
        return 0;
    };
    const auto on_timer = [](CURLM*, long timeout_ms, void* self) {
        auto* d = static_cast<Private*>(self);
        if (timeout_ms < 0) {
            d->timer.stop();
        } else {
            d->timer.start(static_cast<int>(std::min<long>(timeout_ms, 1L << 30)));
        }
        return 0;
    };
    d->curl->multi_setopt(d->multi, CURLMOPT_SOCKETFUNCTION,
                          static_cast<curl_socket_callback>(on_socket));
    d->curl->multi_setopt(d->multi, CURLMOPT_SOCKETDATA, static_cast<void*>(d));
    d->curl->multi_setopt(d->multi, CURLMOPT_TIMERFUNCTION,
                          static_cast<curl_multi_timer_callback>(on_timer));
    d->curl->multi_setopt(d->multi, CURLMOPT_TIMERDATA, static_cast<void*>(d));
}

HttpClient::~HttpClient() {
    for (HttpTransfer* transfer : QSet<HttpTransfer*>(d->active)) {
        d->end(transfer);
    }
    if (d->multi != nullptr) {
        d->curl->multi_cleanup(d->multi);
    }
    delete d;
}

HttpClient& HttpClient::instance() {
    if (g_client.isNull()) {
        g_client = new HttpClient;
        g_client->setParent(QCoreApplication::instance());  // gone with the application
    }
    return *g_client;
}

HttpTransfer* HttpClient::start(TransferRequest request, QObject* parent) {
    auto* transfer = new HttpTransfer(std::move(request), parent);
    if (!is_web_address(transfer->request_.url)) {
        transfer->finish(Failure::Protocol);
    } else if (d->multi == nullptr) {
        transfer->finish(Failure::Unavailable);
    } else {
        d->begin(transfer);
    }
    return transfer;
}

HttpTransfer::HttpTransfer(TransferRequest request, QObject* parent)
    : QObject(parent), request_(std::move(request)), origin_(request_.url) {
    result_.url = request_.url;
    if (request_.timeout_ms > 0) {
        deadline_.setSingleShot(true);
        deadline_.setTimerType(Qt::PreciseTimer);
        connect(&deadline_, &QTimer::timeout, this, [this] { finish(Failure::Canceled); });
        deadline_.start(request_.timeout_ms);
    }
}

HttpTransfer::~HttpTransfer() {
    if (!g_client.isNull()) {
        g_client->d->end(this);
    }
}

void HttpTransfer::abort() {
    if (running_) {
        finish(Failure::Canceled);
    }
}

void HttpTransfer::finish(Failure failure) {
    if (!running_) {
        return;
    }
    running_ = false;
    deadline_.stop();
    if (!g_client.isNull()) {
        g_client->d->end(this);
    }
    result_.failure = failure;
    if (failure != Failure::None && failure != Failure::ErrorStatus) {
        result_.body.clear();  // a cut-off answer is no answer
    }
    result_.error_text = failure_text(failure, result_.url, result_.reason);
    QMetaObject::invokeMethod(this, &HttpTransfer::finished, Qt::QueuedConnection);
}

}  // namespace halvark::net
