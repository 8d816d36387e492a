// The main window's requests to the account API: login, current user, hardware id.
#include <QDateTime>
#include <QInputDialog>
#include <QJsonDocument>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTimer>

#include "app/translator.h"
#include "diagnostics/crash_reporter.h"
#include "diagnostics/hwid.h"
#include "diagnostics/native_crash_records.h"
#include "net/http_exchange.h"
#include "net/network_policy.h"
#include "outside/outside_data.h"
#include "ui/main_window.h"
#include "ui/screens/auth_screen.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/profile_screen.h"
#include "ui/screens/settings_screen.h"

namespace halvark::ui {

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

// The request with the account's token, or nothing for a token no header may carry.
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
    net::HttpRequest request = json_request("POST", app_info.endpoints.login_url);
    request.body = compact(body);
    const net::HttpAnswer answer =
        net::exchange(request, account_timeouts.login_ms, net::kAccountReplyLimit);
    // A too-large answer is no answer: its body is never read.
    return interpret_login_reply(answer.succeeded(), answer.error, answer.status,
                                 answer.too_large ? QByteArray() : answer.body);
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
    const auto request = with_token(json_request("GET", app_info.endpoints.me_url), token);
    if (!request) {
        return {};
    }
    const net::HttpAnswer answer =
        net::exchange(*request, account_timeouts.me_ms, net::kAccountReplyLimit);
    return answer.error.isEmpty() ? user_from_me_body(answer.body) : QJsonObject();
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
    auto request = with_token(json_request("POST", app_info.endpoints.hwid_url), trimmed_token);
    if (!request) {
        return false;
    }
    request->body = compact(QJsonObject{{"hwid", hwid}});
    const net::HttpAnswer answer =
        net::exchange(*request, account_timeouts.hwid_ms, net::kAccountReplyLimit);
    if (answer.succeeded()) {
        qInfo("HWID submitted");
    } else {
        qWarning().noquote() << "HWID submit failed:" << answer.status << answer.error;
    }
    return answer.succeeded();
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
    // Earlier runs' native crashes go out once an account can send them, after the screen.
    QTimer::singleShot(0, this, [] {
        static bool sending = false;
        if (!sending) {
            sending = true;
            diagnostics::CrashReporter::instance().send_native_crashes(
                diagnostics::take_native_crash_records(diagnostics::native_crash_directory()));
            sending = false;
        }
    });
}

}  // namespace halvark::ui
