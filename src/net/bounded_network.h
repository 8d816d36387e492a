#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <optional>

class QNetworkReply;

namespace halvark::net {

// The request attribute that bounds one reply's body below its manager's bound.
constexpr auto kMaxBodyBytesAttribute =
    static_cast<QNetworkRequest::Attribute>(QNetworkRequest::User + 1);

// A network manager whose every exchange runs on the process's bounded HTTP client. Its disk
// cache (setCache) serves and stores as the toolkit's own would, in the same format, so the
// folders that Qt's stack filled keep serving: a prefer-cache load answers from a cached
// copy that has not expired, and a saved answer (status 200) is stored unless it forbids it.
// Only GET is carried; anything else fails at once.
class BoundedNetworkAccessManager : public QNetworkAccessManager {
  public:
    explicit BoundedNetworkAccessManager(qint64 max_body_bytes, QObject* parent = nullptr)
        : QNetworkAccessManager(parent), max_body_bytes_(max_body_bytes) {}

  protected:
    QNetworkReply* createRequest(Operation operation, const QNetworkRequest& request,
                                 QIODevice* outgoing_data) override;

  private:
    qint64 max_body_bytes_;
};

// The body of a finished reply (error statuses included), or nothing when it was aborted.
std::optional<QByteArray> read_reply_body(QNetworkReply* reply);

}  // namespace halvark::net
