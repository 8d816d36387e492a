// The main window's requests to the account API: login, current user, hardware id.
#include <QDateTime>
#include <QInputDialog>
#include <QJsonDocument>
#include <QMessageBox>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStackedWidget>

#include "app/translator.h"
#include "diagnostics/hwid.h"
#include "net/network_policy.h"
#include "net/reply_wait.h"
#include "outside/outside_data.h"
#include "ui/main_window.h"
#include "ui/screens/auth_screen.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/profile_screen.h"
#include "ui/screens/settings_screen.h"

namespace halvark::ui {

namespace {

QNetworkRequest json_request(const QString& url) {
    QNetworkRequest request{QUrl(url, QUrl::TolerantMode)};
    request.setRawHeader("accept", "application/json");
    net::keep_redirects_on_origin(request);
    return request;
}

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// A huge lifetime means the far future, never an overflow.
qint64 expiry_from(qint64 expires_in) {
    return outside::saturated_add(QDateTime::currentSecsSinceEpoch(),
                                  expires_in < 1 ? 1 : expires_in);
}

// Service text is shown as it is written: never as markup, never with a link to follow.
void show_login_warning(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, app::tr("auth.error_title"),
                    outside::cut_service_text(text, outside::kServiceMessageChars), QMessageBox::Ok,
                    parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
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

LoginResult MainWindow::login_request(const QString& login, const QString& password,
                                      const QString& totp_code) {
    QJsonObject body{{"login", login}, {"password", password}};
    const QString code = totp_code.trimmed();
    if (!code.isEmpty()) {
        body.insert("totp_code", code);
    }
    QNetworkRequest request = json_request(app_info.endpoints.login_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    QNetworkReply* reply = network.post(request, compact(body));
    net::limit_reply_size(reply, net::kAccountReplyLimit);
    net::wait_for_reply(reply, account_timeouts.login_ms);

    const auto answer = net::read_reply_body(reply);
    const bool failed = reply->error() != QNetworkReply::NoError || !answer;
    LoginResult result = interpret_login_reply(
        net::succeeded(reply) && answer, failed ? net::reply_error_text(reply) : QString(),
        net::http_status(reply), answer.value_or(QByteArray()));
    reply->deleteLater();
    return result;
}

bool MainWindow::perform_login(const QString& login, const QString& password,
                               QString& display_name_out, QString& access_token_out,
                               qint64& expires_at_out) {
    const auto warn = [this](const QString& text) { show_login_warning(this, text); };
    const auto accept = [&](const LoginResult& result) {
        const QString nickname = result.nickname.trimmed();
        display_name_out = nickname.isEmpty() ? login : nickname;
        access_token_out = result.access_token;
        expires_at_out = expiry_from(result.expires_in);
    };
    // Inside a sign-in the form stays disabled until the whole operation ends.
    const auto enable_form = [this] {
        if (!account_operation_running) {
            auth_screen->set_form_enabled(true);
        }
    };
    const auto failure_text = [](const LoginResult& result) {
        return result.error_message.isEmpty() ? app::tr("auth.error_login_failed")
                                              : result.error_message;
    };

    if (login.trimmed().isEmpty() || password.isEmpty()) {
        warn(app::tr("auth.error_empty_fields"));
        return false;
    }
    auth_screen->set_form_enabled(false);
    auth_screen->set_waiting(true);
    const LoginResult first = login_request(login, password, QString());
    auth_screen->set_waiting(false);
    if (first.ok) {
        accept(first);
        enable_form();
        return true;
    }
    if (!first.totp_required) {
        enable_form();
        warn(failure_text(first));
        return false;
    }

    bool entered = false;
    const QString code =
        QInputDialog::getText(this, app::tr("auth.totp_title"), app::tr("auth.totp_label"),
                              QLineEdit::Normal, QString(), &entered)
            .trimmed();
    if (!entered || code.isEmpty()) {
        enable_form();
        return false;
    }
    auth_screen->set_waiting(true);
    const LoginResult second = login_request(login, password, code);
    auth_screen->set_waiting(false);
    enable_form();
    if (second.ok) {
        accept(second);
        return true;
    }
    warn(failure_text(second));
    return false;
}

QJsonObject MainWindow::fetch_me(const QString& token) {
    if (token.trimmed().isEmpty()) {
        return {};
    }
    QNetworkRequest request = json_request(app_info.endpoints.me_url);
    if (!net::set_bearer_token(request, token)) {
        return {};
    }
    QNetworkReply* reply = network.get(request);
    net::limit_reply_size(reply, net::kAccountReplyLimit);
    net::wait_for_reply(reply, account_timeouts.me_ms);
    const auto body = net::read_reply_body(reply);
    QJsonObject result =
        reply->error() == QNetworkReply::NoError && body ? user_from_me_body(*body) : QJsonObject();
    reply->deleteLater();
    return result;
}

bool MainWindow::submit_hwid(const QString& token) {
    const QString trimmed_token = token.trimmed();
    if (trimmed_token.isEmpty() || app_info.endpoints.hwid_url.trimmed().isEmpty()) {
        return false;
    }
    const QString hwid = diagnostics::current_hwid();
    if (hwid.isEmpty()) {
        return false;
    }
    QNetworkRequest request = json_request(app_info.endpoints.hwid_url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (!net::set_bearer_token(request, trimmed_token)) {
        return false;
    }
    QNetworkReply* reply = network.post(request, compact(QJsonObject{{"hwid", hwid}}));
    net::limit_reply_size(reply, net::kAccountReplyLimit);
    net::wait_for_reply(reply, account_timeouts.hwid_ms);
    const bool accepted = net::succeeded(reply);
    if (accepted) {
        qInfo("HWID submitted");
    } else {
        qWarning().noquote() << "HWID submit failed:" << net::http_status(reply)
                             << reply->errorString();
    }
    reply->deleteLater();
    return accepted;
}

void MainWindow::show_signed_in(const QString& display_name) {
    build_main_screens();
    launch_screen->set_account_name(display_name);
    launch_screen->set_avatar_uuid(user.value("uuid").toString());
    profile_screen->set_display_name(display_name);
    settings_screen->set_signed_in(true);
    if (!user.isEmpty()) {
        profile_screen->set_user(user);
    }
    screen_stack->setCurrentIndex(0);
    page_stack->setCurrentIndex(1);
}

}  // namespace halvark::ui
