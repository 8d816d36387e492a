#include "net/bounded_network.h"

#include <QAbstractNetworkCache>
#include <QDateTime>
#include <QNetworkCacheMetaData>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <memory>

#include "net/http_client.h"

namespace halvark::net {

namespace {

// What a toolkit reply says for each failure of the client.
QNetworkReply::NetworkError network_error(Failure failure, int status) {
    switch (failure) {
        case Failure::None:
            return QNetworkReply::NoError;
        case Failure::ErrorStatus:
            switch (status) {
                case 401:
                    return QNetworkReply::AuthenticationRequiredError;
                case 403:
                    return QNetworkReply::ContentAccessDenied;
                case 404:
                    return QNetworkReply::ContentNotFoundError;
                case 407:
                    return QNetworkReply::ProxyAuthenticationRequiredError;
                case 500:
                    return QNetworkReply::InternalServerError;
                case 503:
                    return QNetworkReply::ServiceUnavailableError;
                default:
                    return status >= 500 ? QNetworkReply::UnknownServerError
                                         : QNetworkReply::UnknownContentError;
            }
        case Failure::Canceled:
            return QNetworkReply::OperationCanceledError;
        case Failure::ConnectionRefused:
            return QNetworkReply::ConnectionRefusedError;
        case Failure::HostNotFound:
            return QNetworkReply::HostNotFoundError;
        case Failure::ConnectionClosed:
            return QNetworkReply::RemoteHostClosedError;
        case Failure::TlsFailed:
            return QNetworkReply::SslHandshakeFailedError;
        case Failure::InsecureRedirect:
            return QNetworkReply::InsecureRedirectError;
        case Failure::TooManyRedirects:
            return QNetworkReply::TooManyRedirectsError;
        case Failure::ProxyRefused:
        case Failure::ProxyDenied:
            return QNetworkReply::ProxyConnectionRefusedError;
        case Failure::ProxyNotFound:
            return QNetworkReply::ProxyNotFoundError;
        case Failure::ProxyAuthentication:
            return QNetworkReply::ProxyAuthenticationRequiredError;
        case Failure::Protocol:
            return QNetworkReply::ProtocolFailure;
        case Failure::Unavailable:
            return QNetworkReply::ProtocolUnknownError;
    }
    return QNetworkReply::UnknownNetworkError;
}

// The headers a cache keeps: the answer's own, not those of the connection.
bool is_cached_header(const QByteArray& name) {
    static const QList<QByteArray> kHopByHop{
        "connection",          "keep-alive", "proxy-authenticate",
        "proxy-authorization", "te",         "trailer",
        "transfer-encoding",   "upgrade",    "set-cookie"};
    return !kHopByHop.contains(name.toLower());
}

QByteArray header_value(const RawHeaders& headers, const QByteArray& name) {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return value;
        }
    }
    return {};
}

// A reply that the client fills, or the cache, delivered whole once it is finished.
class BoundedReply final : public QNetworkReply {
  public:
    BoundedReply(QNetworkAccessManager::Operation operation, const QNetworkRequest& request,
                 QObject* parent)
        : QNetworkReply(parent) {
        setRequest(request);
        setUrl(request.url());
        setOperation(operation);
        QNetworkReply::open(QIODevice::ReadOnly);
    }

    void abort() override {
        if (transfer_ != nullptr && transfer_->is_running()) {
            transfer_->abort();  // its finish comes through `take`, queued
        } else if (isRunning()) {
            fail(Failure::Canceled);
        }
    }
    qint64 bytesAvailable() const override {
        return body_.size() - read_at_ + QNetworkReply::bytesAvailable();
    }
    bool isSequential() const override { return true; }

    void fail(Failure failure) {
        const QString text = failure_text(failure, url(), QByteArray());
        deliver([this, failure, text] {
            setError(network_error(failure, 0), text);
            Q_EMIT errorOccurred(error());
        });
    }

    void serve_from_cache(QAbstractNetworkCache* cache, const QNetworkCacheMetaData& meta) {
        std::unique_ptr<QIODevice> data(cache->data(url()));
        if (!data) {
            fail(Failure::Canceled);
            return;
        }
        body_ = data->readAll();
        const auto attributes = meta.attributes();
        for (auto it = attributes.cbegin(); it != attributes.cend(); ++it) {
            setAttribute(it.key(), it.value());
        }
        for (const auto& [name, value] : meta.rawHeaders()) {
            setRawHeader(name, value);
        }
        setAttribute(QNetworkRequest::SourceIsFromCacheAttribute, true);
        deliver([] {});
    }

    void fetch(TransferRequest request, QAbstractNetworkCache* cache) {
        cache_ = cache;
        transfer_ = HttpClient::instance().start(std::move(request), this);
        connect(transfer_, &HttpTransfer::finished, this, [this] { take(); });
    }

  protected:
    qint64 readData(char* data, qint64 max_size) override {
        const qint64 count = std::min<qint64>(max_size, body_.size() - read_at_);
        if (count <= 0) {
            return isFinished() ? -1 : 0;
        }
        std::memcpy(data, body_.constData() + read_at_, static_cast<size_t>(count));
        read_at_ += count;
        return count;
    }

  private:
    void take() {
        const TransferResult& result = transfer_->result();
        if (result.status > 0) {
            setAttribute(QNetworkRequest::HttpStatusCodeAttribute, result.status);
            setAttribute(QNetworkRequest::HttpReasonPhraseAttribute,
                         QString::fromLatin1(result.reason));
            for (const auto& [name, value] : result.headers) {
                setRawHeader(name, value);
            }
        }
        setUrl(result.url);
        body_ = result.body;
        if (result.failure == Failure::None) {
            store(result);
            deliver([] {});
            return;
        }
        const QString text = result.error_text;
        const auto error = network_error(result.failure, result.status);
        deliver([this, error, text] {
            setError(error, text);
            Q_EMIT errorOccurred(error);
        });
    }

    // As the toolkit decides it: a whole 200 answer, unless it says not to keep it.
    void store(const TransferResult& result) {
        const QNetworkRequest asked = request();
        if (cache_ == nullptr || result.status != 200 ||
            !asked.attribute(QNetworkRequest::CacheSaveControlAttribute, true).toBool()) {
            return;
        }
        const QByteArray control = header_value(result.headers, "cache-control").toLower();
        if (control.contains("no-store")) {
            return;
        }
        QNetworkCacheMetaData meta;
        meta.setUrl(result.url);
        QNetworkCacheMetaData::RawHeaderList kept;
        for (const auto& header : result.headers) {
            if (is_cached_header(header.first)) {
                kept.append(header);
            }
        }
        meta.setRawHeaders(kept);
        meta.setSaveToDisk(true);
        const QByteArray modified = header_value(result.headers, "last-modified");
        if (!modified.isEmpty()) {
            meta.setLastModified(
                QDateTime::fromString(QString::fromLatin1(modified), Qt::RFC2822Date));
        }
        const QByteArray expires = header_value(result.headers, "expires");
        if (const qsizetype at = control.indexOf("max-age="); at >= 0) {
            bool number = false;
            const qint64 seconds =
                control.mid(at + 8).split(',').first().trimmed().toLongLong(&number);
            if (number) {
                meta.setExpirationDate(QDateTime::currentDateTimeUtc().addSecs(seconds));
            }
        } else if (!expires.isEmpty()) {
            meta.setExpirationDate(
                QDateTime::fromString(QString::fromLatin1(expires), Qt::RFC2822Date));
        }
        QNetworkCacheMetaData::AttributesMap attributes;
        attributes.insert(QNetworkRequest::HttpStatusCodeAttribute, result.status);
        attributes.insert(QNetworkRequest::HttpReasonPhraseAttribute,
                          QString::fromLatin1(result.reason));
        meta.setAttributes(attributes);
        if (QIODevice* device = cache_->prepare(meta)) {
            if (device->write(result.body) == result.body.size()) {
                cache_->insert(device);
            } else {
                cache_->remove(result.url);
            }
        }
    }

    // The toolkit's order of signals, from the event loop: headers, data, end.
    template <typename Failing>
    void deliver(Failing set_failure) {
        QTimer::singleShot(0, this, [this, set_failure] {
            set_failure();
            Q_EMIT metaDataChanged();
            if (!body_.isEmpty()) {
                Q_EMIT downloadProgress(body_.size(), body_.size());
                Q_EMIT readyRead();
            }
            setFinished(true);
            Q_EMIT finished();
        });
    }

    QByteArray body_;
    qint64 read_at_ = 0;
    QPointer<HttpTransfer> transfer_;
    QAbstractNetworkCache* cache_ = nullptr;
};

bool fresh_in(QAbstractNetworkCache* cache, const QUrl& url, QNetworkCacheMetaData& meta) {
    meta = cache->metaData(url);
    if (!meta.isValid() || !meta.saveToDisk()) {
        return false;
    }
    const QDateTime expires = meta.expirationDate();
    return !expires.isValid() || expires > QDateTime::currentDateTimeUtc();
}

}  // namespace

QNetworkReply* BoundedNetworkAccessManager::createRequest(Operation operation,
                                                          const QNetworkRequest& request,
                                                          QIODevice* /*outgoing_data*/) {
    auto* reply = new BoundedReply(operation, request, this);
    if (operation != GetOperation) {
        reply->fail(Failure::Protocol);
        return reply;
    }
    const auto load = static_cast<QNetworkRequest::CacheLoadControl>(
        request
            .attribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferNetwork)
            .toInt());
    QAbstractNetworkCache* disk = cache();
    QNetworkCacheMetaData meta;
    // Prefer-network loads use a copy only while its answer said it stays valid.
    if (disk != nullptr && load != QNetworkRequest::AlwaysNetwork &&
        fresh_in(disk, request.url(), meta) &&
        (load != QNetworkRequest::PreferNetwork || meta.expirationDate().isValid())) {
        reply->serve_from_cache(disk, meta);
        return reply;
    }
    if (load == QNetworkRequest::AlwaysCache) {
        reply->fail(Failure::Canceled);
        return reply;
    }
    TransferRequest transfer{"GET", request.url(), {}, {}, max_body_bytes_, 0, false};
    bool bounded = false;
    const qint64 own = request.attribute(kMaxBodyBytesAttribute).toLongLong(&bounded);
    if (bounded && own < max_body_bytes_) {
        transfer.max_body_bytes = own;
    }
    for (const QByteArray& name : request.rawHeaderList()) {
        transfer.headers.append({name, request.rawHeader(name)});
    }
    reply->fetch(std::move(transfer), disk);
    return reply;
}

std::optional<QByteArray> read_reply_body(QNetworkReply* reply) {
    if (!reply->isOpen()) {
        return std::nullopt;
    }
    return reply->readAll();
}

}  // namespace halvark::net
