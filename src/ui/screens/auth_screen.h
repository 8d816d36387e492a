#pragma once

#include <QWidget>
#include <functional>

class QCheckBox;
class QFormLayout;
class QLabel;

namespace halvark::ui::components {
class AppButton;
class AppLineEdit;
}  // namespace halvark::ui::components

namespace halvark::ui::screens {

// The sign-in form: collects nickname, password and the remember flag for a callback.
class AuthScreen : public QWidget {
  public:
    using LoginCallback =
        std::function<void(const QString& login, const QString& password, bool remember)>;

    explicit AuthScreen(QWidget* parent = nullptr);
    ~AuthScreen() override;

    void set_on_login(LoginCallback callback);
    void set_form_enabled(bool enabled);
    // While a sign-in waits for the service the button says so in words: a greyed form
    // alone looks like a frozen window.
    void set_waiting(bool waiting);
    void clear_password();
    void retranslate();

  private:
    void submit();

    LoginCallback on_login;
    QLabel* logo_label = nullptr;
    QLabel* nickname_label = nullptr;
    QLabel* password_label = nullptr;
    components::AppLineEdit* nickname_edit = nullptr;
    components::AppLineEdit* password_edit = nullptr;
    QCheckBox* remember_check = nullptr;
    components::AppButton* login_button = nullptr;
    QFormLayout* form_layout = nullptr;
};

}  // namespace halvark::ui::screens
