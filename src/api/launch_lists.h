#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QNetworkRequest>
#include <QString>
#include <optional>

// The launch screen's side of the protocol: the news list, the server-profile list and the
// pictures, as requests and as parsed answers, with no window and no network.
namespace halvark::api {

QNetworkRequest news_list_request(const QString& url);
QJsonArray news_items_from(const QByteArray& body);

QNetworkRequest server_profiles_request(const QString& url);
// The profiles of a list answer: an array, or the "items" or "data" array of an object.
std::optional<QJsonArray> server_profile_list_from(const QByteArray& body, QString* parse_error);

// A picture (avatar, news picture, background), preferring the disk cache; nothing for an
// address that is not http(s): a file: or other local one could block on a FIFO or a device.
std::optional<QNetworkRequest> picture_request(const QString& address);

}  // namespace halvark::api
