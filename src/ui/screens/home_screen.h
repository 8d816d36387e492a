#pragma once

#include <QString>
#include <QWidget>
#include <QtPlugin>
#include <functional>

class QJsonObject;

namespace halvark::ui::screens {

// What the main window asks of the home screen (LaunchScreen). The screen and everything it
// fetches with live in a plug-in of their own, so that the network module loads after the
// sign-in page is painted, not before.
class HomeScreen : public QWidget {
  public:
    using Callback = std::function<void()>;
    using QWidget::QWidget;

    virtual void set_on_logout(Callback callback) = 0;
    virtual void set_on_open_settings(Callback callback) = 0;
    virtual void set_on_open_profile(Callback callback) = 0;
    virtual void set_account_name(const QString& name) = 0;
    virtual void set_profile_waiting(bool waiting) = 0;
    virtual void set_sign_out_pending(bool pending) = 0;
    virtual void retranslate() = 0;
    virtual void set_user(const QJsonObject& user_object) = 0;
    virtual void set_server_list_background_enabled(bool flag) = 0;
    virtual void set_avatar_uuid(const QString& uuid) = 0;
};

class HomeScreenFactory {
  public:
    virtual ~HomeScreenFactory() = default;
    virtual HomeScreen* create_home_screen(QWidget* parent) = 0;
};

// The home screen from the plug-in linked into this program, or else from the one beside the
// executable; when neither can be had, a page that says why (and the log and a report too).
HomeScreen* load_home_screen(QWidget* parent);

}  // namespace halvark::ui::screens

#define HALVARK_HOME_SCREEN_FACTORY_IID "net.halvark.launcher.HomeScreenFactory/1"
Q_DECLARE_INTERFACE(halvark::ui::screens::HomeScreenFactory, HALVARK_HOME_SCREEN_FACTORY_IID)
