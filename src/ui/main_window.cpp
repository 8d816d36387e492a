#include "ui/main_window.h"

#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QIcon>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/translator.h"
#include "diagnostics/crash_reporter.h"
#include "storage/session_store.h"
#include "ui/png_icon_engine.h"
#include "ui/screens/auth_screen.h"
#include "ui/screens/home_screen.h"
#include "ui/screens/profile_screen.h"
#include "ui/screens/settings_screen.h"
#include "ui/style_sheet.h"
#include "ui/token_claims.h"

namespace halvark::ui {

using diagnostics::CrashReporter;

MainWindow::MainWindow(const app::AppInfo& app_info, QWidget* parent)
    : QMainWindow(parent), app_info(app_info) {
    if (!app::Translator::instance().set_language(settings.language())) {
        app::Translator::instance().set_language(QStringLiteral("ru"));
    }
    update_title();
    setWindowIcon(QIcon(new PngIconEngine(QStringLiteral(":/assets/png/icon.png"))));
    setFixedSize(1000, 760);
    build_ui();
}

MainWindow::~MainWindow() = default;

void MainWindow::update_title() {
    setWindowTitle(app_info.name.isEmpty() ? app::tr("app.title") : app_info.name);
}

void MainWindow::build_ui() {
    auto* central = new QWidget(this);
    auto* central_layout = new QVBoxLayout(central);
    central_layout->setContentsMargins(0, 0, 0, 0);

    auto* root = new QFrame(central);
    root->setObjectName("root");
    auto* root_layout = new QHBoxLayout(root);
    root_layout->setContentsMargins(0, 0, 0, 0);
    root_layout->setSpacing(0);
    central_layout->addWidget(root);

    page_stack = new QStackedWidget(root);
    root_layout->addWidget(page_stack);

    auto* sign_in_page = new QFrame(page_stack);
    auto* sign_in_layout = new QVBoxLayout(sign_in_page);
    sign_in_layout->setContentsMargins(0, 0, 0, 0);
    sign_in_layout->addStretch(1);
    auto* auth_card = new QFrame(sign_in_page);
    auth_card->setObjectName("auth_card");
    auth_card->setFixedSize(350, 300);
    sign_in_layout->addWidget(auth_card, 0, Qt::AlignCenter);
    sign_in_layout->addStretch(1);
    auto* card_layout = new QVBoxLayout(auth_card);
    card_layout->setContentsMargins(10, 10, 10, 10);
    auth_screen = new screens::AuthScreen(auth_card);
    card_layout->addWidget(auth_screen);
    page_stack->addWidget(sign_in_page);

    auto* main_page = new QFrame(page_stack);
    auto* main_layout = new QVBoxLayout(main_page);
    main_layout->setContentsMargins(0, 0, 0, 0);
    screen_stack = new QStackedWidget(main_page);
    main_layout->addWidget(screen_stack);
    page_stack->addWidget(main_page);

    setCentralWidget(central);
    // The whole look follows with the screens it is for, once the sign-in page is painted.
    setStyleSheet(sign_in_style_sheet());

    auth_screen->set_on_login([this](const QString& login, const QString& password, bool remember) {
        handle_sign_in(login, password, remember);
    });
    retranslate_all();
    resume_saved_session();
}

void MainWindow::build_main_screens() {
    if (launch_screen != nullptr) {
        return;
    }
    setStyleSheet(app_style_sheet());
    launch_screen = screens::load_home_screen(screen_stack);
    launch_screen->set_server_list_background_enabled(settings.server_list_background_enabled());
    profile_screen = new screens::ProfileScreen(screen_stack);
    settings_screen = new screens::SettingsScreen(screen_stack);
    screen_stack->addWidget(launch_screen);
    screen_stack->addWidget(profile_screen);
    screen_stack->addWidget(settings_screen);

    launch_screen->set_on_logout([this] { handle_sign_out(); });
    launch_screen->set_on_open_settings([this] { open_settings(); });
    launch_screen->set_on_open_profile([this] { open_profile(); });
    profile_screen->set_on_back([this] { screen_stack->setCurrentIndex(0); });
    settings_screen->set_on_back([this] { screen_stack->setCurrentIndex(0); });
    settings_screen->set_on_save([this](const QString& language, qint32 ram_mb, bool auto_ram,
                                        const QString& game_directory, bool background) {
        save_settings(language, ram_mb, auto_ram, game_directory, background);
    });
    settings_screen->set_on_language_changed(
        [this](const QString& code) { change_language(code); });
    settings_screen->set_on_auto_ram_toggled([this](bool checked) { apply_auto_ram(checked); });
    settings_screen->set_on_force_report([this] { return force_report(); });
}

bool MainWindow::event(QEvent* event) {
    // The sign-in page is painted without waiting for the screens it hides.
    if (event->type() == QEvent::Paint && launch_screen == nullptr) {
        QTimer::singleShot(0, this, [this] { build_main_screens(); });
    }
    return QMainWindow::event(event);
}

void MainWindow::resume_saved_session() {
    const AccountOperation operation(*this);
    if (!operation) {
        return;
    }
    const auto saved = session_store.load();
    if (!saved) {
        page_stack->setCurrentIndex(0);
        return;
    }
    if (saved->expires_at_unix <= QDateTime::currentSecsSinceEpoch()) {
        session_store.clear();
        page_stack->setCurrentIndex(0);
        return;
    }
    build_main_screens();
    access_token = saved->access_token;
    user = fetch_me(access_token);
    submit_hwid(access_token);
    CrashReporter::instance().set_user(access_token, user);
    launch_screen->set_user(user);
    launch_screen->set_avatar_uuid(user.value("uuid").toString());
    profile_screen->set_user(user);

    QString name;
    if (!access_token.trimmed().isEmpty()) {
        // Only the name is taken from this second answer; the first one stays the user.
        name = fetch_me(access_token).value("nickname").toString().trimmed();
        if (name.isEmpty()) {
            name = display_name_from_token(access_token);
        }
    }
    if (name.isEmpty()) {
        name = QStringLiteral("Player");
    }
    show_signed_in(name);
}

void MainWindow::handle_sign_in(const QString& login, const QString& password, bool remember) {
    const AccountOperation operation(*this);
    if (!operation) {
        return;
    }
    // The form stays disabled from the press until the main page shows.
    auth_screen->set_form_enabled(false);
    sign_in(login, password, remember);
    auth_screen->set_waiting(false);
    auth_screen->set_form_enabled(true);
}

void MainWindow::sign_in(const QString& login, const QString& password, bool remember) {
    QString name;
    QString token;
    qint64 expires_at = 0;
    if (!perform_login(login, password, name, token, expires_at)) {
        return;
    }
    auth_screen->set_waiting(true);  // the account's details and the hardware id
    build_main_screens();
    access_token = token;
    user = fetch_me(access_token);
    submit_hwid(access_token);
    CrashReporter::instance().set_user(access_token, user);
    launch_screen->set_user(user);
    if (user.value("nickname").toString().trimmed().isEmpty()) {
        user.insert("nickname", name);
    }
    launch_screen->set_avatar_uuid(user.value("uuid").toString());
    profile_screen->set_user(user);
    if (remember) {
        session_store.save({access_token, expires_at});
    } else {
        session_store.clear();
    }
    show_signed_in(name);
}

void MainWindow::handle_sign_out() {
    const AccountOperation operation(*this);
    if (!operation) {
        // On a shared computer a lost sign-out leaves the account open: never drop it.
        sign_out_pending = true;
        launch_screen->set_sign_out_pending(true);
        return;
    }
    sign_out_pending = false;
    build_main_screens();
    launch_screen->set_sign_out_pending(false);
    const bool forgotten = session_store.clear();
    access_token.clear();
    user = QJsonObject();
    CrashReporter::instance().clear_user();
    launch_screen->set_user(QJsonObject());
    launch_screen->set_account_name(QString());
    launch_screen->set_avatar_uuid(QString());
    profile_screen->set_display_name(QString());
    profile_screen->set_user(QJsonObject());
    settings_screen->set_signed_in(false);
    // The nickname and the remember box stay for the next sign-in; the password never does.
    auth_screen->clear_password();
    page_stack->setCurrentIndex(0);
    if (!forgotten) {
        // Signed out for this run, but the next start would resume the account: say so.
        QMessageBox box(QMessageBox::Warning, app::tr("launch.sign_out_failed_title"),
                        app::tr("launch.sign_out_failed")
                            .arg(QDir::toNativeSeparators(storage::session_file_path())),
                        QMessageBox::Ok, this);
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
}

void MainWindow::open_profile() {
    build_main_screens();
    // While another account operation waits, the profile shows what is already known.
    const AccountOperation operation(*this);
    if (operation && !access_token.trimmed().isEmpty()) {
        launch_screen->set_profile_waiting(true);
        const QJsonObject fresh = fetch_me(access_token);
        launch_screen->set_profile_waiting(false);
        if (!fresh.isEmpty()) {
            user = fresh;
            CrashReporter::instance().set_user(access_token, user);
            launch_screen->set_user(user);
            profile_screen->set_user(user);
            const QString nickname = user.value("nickname").toString().trimmed();
            if (!nickname.isEmpty()) {
                launch_screen->set_account_name(nickname);
                profile_screen->set_display_name(nickname);
            }
            launch_screen->set_avatar_uuid(user.value("uuid").toString());
        }
    }
    screen_stack->setCurrentIndex(1);
}

bool MainWindow::force_report() {
    const AccountOperation operation(*this);
    if (!operation) {
        return false;
    }
    const QString nickname = user.value("nickname").toString().trimmed();
    const QString message =
        nickname.isEmpty() ? QStringLiteral("Forced report from debug menu")
                           : QStringLiteral("Forced report from debug menu by %1").arg(nickname);
    return CrashReporter::instance().forced_report(message);
}

void MainWindow::retranslate_all() {
    update_title();
    auth_screen->retranslate();
    if (launch_screen != nullptr) {  // screens built later take the language they find
        launch_screen->retranslate();
        profile_screen->retranslate();
        settings_screen->retranslate();
    }
}

}  // namespace halvark::ui
