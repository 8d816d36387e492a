#pragma once

#include <QJsonObject>
#include <QMainWindow>

#include "api/account_api.h"
#include "app/app_info.h"
#include "storage/session_store.h"
#include "storage/settings_store.h"

class QStackedWidget;

namespace halvark::ui {

namespace screens {
class AuthScreen;
class HomeScreen;
class ProfileScreen;
class SettingsScreen;
}  // namespace screens

// How long each account request may wait for the service.
struct AccountTimeouts {
    int login_ms = 10000;
    int me_ms = 6000;
    int hwid_ms = 8000;
};

// The only top-level window: owns the account state and wires every screen to the
// services. Screens never call services or each other.
class MainWindow : public QMainWindow {
  public:
    explicit MainWindow(const app::AppInfo& app_info, QWidget* parent = nullptr);
    ~MainWindow() override;

    void retranslate_all();
    const QJsonObject& current_user() const { return user; }
    // The player keeps the defaults; tests wait less.
    void set_account_timeouts(const AccountTimeouts& timeouts) { account_timeouts = timeouts; }

    // Account service, each waited for in a nested event loop.
    api::LoginResult login_request(const QString& login, const QString& password,
                                   const QString& totp_code);
    bool perform_login(const QString& login, const QString& password, QString& display_name_out,
                       QString& access_token_out, qint64& expires_at_out);
    QJsonObject fetch_me(const QString& access_token);
    bool submit_hwid(const QString& access_token);
    void show_signed_in(const QString& display_name);

    // Reactions to the screens' callbacks.
    void handle_sign_in(const QString& login, const QString& password, bool remember);
    void handle_sign_out();
    void open_profile();
    bool force_report();
    void open_settings();
    void save_settings(const QString& language, qint32 ram_mb, bool auto_ram,
                       const QString& game_directory, bool server_list_background_enabled);
    void change_language(const QString& code);
    void apply_auto_ram(bool checked);

  protected:
    bool event(QEvent* event) override;

  private:
    // Marks one account operation (sign-in, resume, sign-out, profile refresh, forced
    // report) as running for its lifetime; false when another one already runs. Each waits
    // in nested event loops, and a second one started meanwhile (a double click, a sign-in
    // during a refresh) would mix two accounts. A sign-out asked for meanwhile is kept and
    // carried out as soon as the running operation ends.
    class AccountOperation {
      public:
        explicit AccountOperation(MainWindow& window)
            : window(window), started(!window.account_operation_running) {
            window.account_operation_running = true;
        }
        ~AccountOperation() {
            if (started) {
                window.account_operation_running = false;
                if (window.sign_out_pending) {
                    window.handle_sign_out();
                }
            }
        }
        AccountOperation(const AccountOperation&) = delete;
        AccountOperation& operator=(const AccountOperation&) = delete;
        explicit operator bool() const { return started; }

      private:
        MainWindow& window;
        bool started;
    };
    void sign_in(const QString& login, const QString& password, bool remember);
    void build_ui();
    // The launch, profile and settings screens, which the sign-in page does not show: built
    // right after the window's first frame, or at once by whatever needs them before that.
    void build_main_screens();
    void resume_saved_session();
    void update_title();

    app::AppInfo app_info;
    AccountTimeouts account_timeouts;
    storage::SettingsStore settings;
    storage::SessionStore session_store;
    QString access_token;
    QJsonObject user;
    bool account_operation_running = false;
    bool sign_out_pending = false;
    QStackedWidget* page_stack = nullptr;
    QStackedWidget* screen_stack = nullptr;
    screens::AuthScreen* auth_screen = nullptr;
    screens::HomeScreen* launch_screen = nullptr;
    screens::ProfileScreen* profile_screen = nullptr;
    screens::SettingsScreen* settings_screen = nullptr;
};

}  // namespace halvark::ui
