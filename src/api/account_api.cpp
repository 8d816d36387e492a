#include "api/account_api.h"

#include <QJsonDocument>
#include <QUrl>

#include "net/network_policy.h"
#include "outside/outside_data.h"

namespace halvark::api {

namespace {

net::HttpRequest json_request(const QByteArray& method, const QString& url) {
    net::HttpRequest request{
        method, QUrl(url, QUrl::TolerantMode), {{"accept", "application/json"}}, {}};
    if (method == "POST") {
        request.headers.append(
            qMakePair(QByteArray("Content-Type"), QByteArray("application/json")));
    }
    return request;
}

std::optional<net::HttpRequest> with_token(net::HttpRequest request, const QString& token) {
    const auto authorization = net::bearer_authorization(token);
    if (!authorization) {
        return std::nullopt;
    }
    request.headers.append(qMakePair(QByteArray("Authorization"), *authorization));
    return request;
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

}  // namespace

ServerMessage read_server_message(const QByteArray& body) {
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    ServerMessage result;
    const QJsonValue detail = object.value("detail");
    if (detail.isObject()) {
        result.code = detail.toObject().value("code").toString();
        result.message = detail.toObject().value("message").toString();
    } else if (detail.isString()) {
        result.message = detail.toString();
    }
    if (result.message.isEmpty()) {
        result.message = object.value("message").toString();
    }
    return result;
}

LoginResult interpret_login_reply(bool succeeded, const QString& network_error_text, int status,
                                  const QByteArray& body) {
    const ServerMessage server = read_server_message(body);
    LoginResult result;
    if (succeeded) {
        const QJsonObject object = QJsonDocument::fromJson(body).object();
        result.access_token = object.value("access_token").toString();
        result.expires_in = outside::saturated_int64(object.value("expires_in"));
        const QJsonValue login_user = object.value("user");
        if (login_user.isObject()) {
            result.nickname = login_user.toObject().value("nickname").toString();
        }
        if (result.access_token.isEmpty()) {
            result.error_message = server.message.isEmpty()
                                       ? QStringLiteral("Empty access_token in login response")
                                       : server.message;
        } else if (!net::is_plausible_bearer_token(result.access_token)) {
            result.access_token.clear();
            result.error_message = QStringLiteral("Invalid access_token in login response");
        } else {
            result.ok = true;
        }
    } else if (server.code == QLatin1String("totp_required")) {
        result.totp_required = true;
        result.error_message = server.message;
    } else if (!server.message.isEmpty()) {
        result.error_message = server.message;
    } else if (!network_error_text.isEmpty()) {
        result.error_message = network_error_text;
    } else {
        result.error_message = QStringLiteral("HTTP %1").arg(status);
    }
    return result;
}

QJsonObject user_from_me_body(const QByteArray& body) {
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QJsonValue wrapped = object.value("user");
    return wrapped.isObject() ? wrapped.toObject() : object;
}

net::HttpRequest login_request(const QString& url, const QString& login, const QString& password,
                               const QString& totp_code) {
    QJsonObject body{{"login", login}, {"password", password}};
    const QString code = totp_code.trimmed();
    if (!code.isEmpty()) {
        body.insert("totp_code", code);
    }
    net::HttpRequest request = json_request("POST", url);
    request.body = compact(body);
    return request;
}

std::optional<net::HttpRequest> current_user_request(const QString& url, const QString& token) {
    return with_token(json_request("GET", url), token);
}

std::optional<net::HttpRequest> hwid_request(const QString& url, const QString& token,
                                             const QString& hwid) {
    auto request = with_token(json_request("POST", url), token.trimmed());
    if (request) {
        request->body = compact(QJsonObject{{"hwid", hwid}});
    }
    return request;
}

}  // namespace halvark::api
