#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <optional>

#include "net/http_exchange.h"

// The account API's side of the protocol: what each request sends and what its answer means,
// with no window and no network.
namespace halvark::api {

struct LoginResult {
    bool ok = false;
    bool totp_required = false;
    QString error_message;
    QString access_token;
    QString nickname;
    qint64 expires_in = 0;
};

// The "detail" (text, or object with "code"/"message") or "message" of an error body.
struct ServerMessage {
    QString code;
    QString message;
};
ServerMessage read_server_message(const QByteArray& body);

// What a finished login reply means. `succeeded`: no network error and a 2xx status.
LoginResult interpret_login_reply(bool succeeded, const QString& network_error_text, int status,
                                  const QByteArray& body);
// The user object of a current-user answer: the object itself, or its "user" member.
QJsonObject user_from_me_body(const QByteArray& body);

// The requests, each as its endpoint takes it; nothing for a token no header may carry.
net::HttpRequest login_request(const QString& url, const QString& login, const QString& password,
                               const QString& totp_code);
std::optional<net::HttpRequest> current_user_request(const QString& url, const QString& token);
std::optional<net::HttpRequest> hwid_request(const QString& url, const QString& token,
                                             const QString& hwid);

}  // namespace halvark::api
