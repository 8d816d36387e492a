// The main window's requests to the account API: login, current user, hardware id.
#include <QDateTime>
#include <QInputDialog>
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
#include "ui/screens/home_screen.h"
#include "ui/screens/profile_screen.h"
#include "ui/screens/settings_screen.h"

namespace halvark::ui {

namespace {

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

api::LoginResult MainWindow::login_request(const QString& login, const QString& password,
                                           const QString& totp_code) {
    const net::HttpAnswer answer =
        net::exchange(api::login_request(app_info.endpoints.login_url, login, password, totp_code),
                      account_timeouts.login_ms, net::kAccountReplyLimit);
    // A too-large answer is no answer: its body is never read.
    return api::interpret_login_reply(answer.succeeded(), answer.error, answer.status,
                                      answer.too_large ? QByteArray() : answer.body);
}

bool MainWindow::perform_login(const QString& login, const QString& password,
                               QString& display_name_out, QString& access_token_out,
                               qint64& expires_at_out) {
    const auto warn = [this](const QString& text) { show_login_warning(this, text); };
    const auto accept = [&](const api::LoginResult& result) {
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
    const auto failure_text = [](const api::LoginResult& result) {
        return result.error_message.isEmpty() ? app::tr("auth.error_login_failed")
                                              : result.error_message;
    };

    if (login.trimmed().isEmpty() || password.isEmpty()) {
        warn(app::tr("auth.error_empty_fields"));
        return false;
    }
    auth_screen->set_form_enabled(false);
    auth_screen->set_waiting(true);
    const api::LoginResult first = login_request(login, password, QString());
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
    const api::LoginResult second = login_request(login, password, code);
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
    const auto request = api::current_user_request(app_info.endpoints.me_url, token);
    if (!request) {
        return {};
    }
    const net::HttpAnswer answer =
        net::exchange(*request, account_timeouts.me_ms, net::kAccountReplyLimit);
    return answer.error.isEmpty() ? api::user_from_me_body(answer.body) : QJsonObject();
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
    const auto request = api::hwid_request(app_info.endpoints.hwid_url, trimmed_token, hwid);
    if (!request) {
        return false;
    }
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
