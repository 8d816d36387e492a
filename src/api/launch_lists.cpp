#include "api/launch_lists.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include "net/bounded_network.h"
#include "net/network_policy.h"
#include "outside/outside_data.h"

namespace halvark::api {

QNetworkRequest news_list_request(const QString& url) {
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("accept", "application/json");
    request.setAttribute(net::kMaxBodyBytesAttribute, net::kListReplyLimit);
    return request;
}

QJsonArray news_items_from(const QByteArray& body) {
    return QJsonDocument::fromJson(body).array();
}

QNetworkRequest server_profiles_request(const QString& url) {
    QNetworkRequest request{QUrl(url)};
    request.setRawHeader("accept", "application/json");
    request.setRawHeader("user-agent", "HalvarkLauncher/1.0");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::PreferNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, true);
    request.setAttribute(net::kMaxBodyBytesAttribute, net::kListReplyLimit);
    return request;
}

std::optional<QJsonArray> server_profile_list_from(const QByteArray& body, QString* parse_error) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (parse_error != nullptr) {
        *parse_error = error.errorString();
    }
    if (document.isArray()) {
        return document.array();
    }
    const QJsonObject object = document.object();
    if (object.value("items").isArray()) {
        return object.value("items").toArray();
    }
    if (object.value("data").isArray()) {
        return object.value("data").toArray();
    }
    return std::nullopt;
}

std::optional<QNetworkRequest> picture_request(const QString& address) {
    const QUrl url(address, QUrl::TolerantMode);
    if (!net::is_web_address(url)) {
        qWarning().noquote() << "Ignored a picture address that is not http(s): scheme="
                             << outside::cut_service_text(url.scheme(), outside::kServiceLineChars);
        return std::nullopt;
    }
    QNetworkRequest request{url};
    request.setRawHeader("accept", "image/*");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::PreferCache);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, true);
    request.setAttribute(net::kMaxBodyBytesAttribute, net::kPictureReplyLimit);
    return request;
}

}  // namespace halvark::api
