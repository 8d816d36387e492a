#include "ui/screens/auth_screen.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QStyle>
#include <QVBoxLayout>

#include "app/translator.h"
#include "ui/components/app_button.h"
#include "ui/components/app_check_box.h"
#include "ui/components/app_line_edit.h"
#include "ui/components/form_labels.h"
#include "ui/screens/auth_logo.h"

namespace halvark::ui::screens {

using components::AppButton;
using components::AppLineEdit;

AuthScreen::AuthScreen(QWidget* parent) : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(8);

    auto* surface = new QFrame(this);
    surface->setObjectName("auth_surface");
    outer->addWidget(surface);
    auto* layout = new QVBoxLayout(surface);
    layout->setContentsMargins(12, 10, 12, 10);
    layout->setSpacing(8);

    logo_label = new QLabel(surface);
    logo_label->setObjectName("auth_logo");
    logo_label->setAlignment(Qt::AlignCenter);
    logo_label->setPixmap(sign_in_logo(devicePixelRatioF()));
    layout->addWidget(logo_label, 0, Qt::AlignCenter);

    form_layout = new QFormLayout();
    form_layout->setContentsMargins(0, 0, 0, 0);
    form_layout->setVerticalSpacing(10);
    nickname_label = new QLabel(surface);
    password_label = new QLabel(surface);
    nickname_edit = new AppLineEdit(surface);
    nickname_edit->setPlaceholderText("nickname");
    password_edit = new AppLineEdit(surface);
    password_edit->setPlaceholderText("password");
    password_edit->setEchoMode(QLineEdit::Password);
    form_layout->addRow(nickname_label, nickname_edit);
    form_layout->addRow(password_label, password_edit);
    components::centre_form_labels(form_layout);
    layout->addLayout(form_layout);

    auto* row = new QHBoxLayout();
    remember_check = new components::AppCheckBox(surface);
    remember_check->setChecked(true);
    login_button = new AppButton(QString(), 0, surface);
    row->addWidget(remember_check);
    row->addStretch();
    row->addWidget(login_button);
    layout->addLayout(row);

    setTabOrder(nickname_edit, password_edit);
    setTabOrder(password_edit, remember_check);
    setTabOrder(remember_check, login_button);

    // The button is the only way to submit: Return in a field does nothing.
    connect(login_button, &QPushButton::clicked, this, [this] { submit(); });
    retranslate();
}

AuthScreen::~AuthScreen() = default;

void AuthScreen::set_on_login(LoginCallback callback) {
    on_login = std::move(callback);
}

void AuthScreen::set_form_enabled(bool enabled) {
    nickname_edit->setEnabled(enabled);
    password_edit->setEnabled(enabled);
    remember_check->setEnabled(enabled);
    login_button->setEnabled(enabled);
}

void AuthScreen::set_waiting(bool waiting) {
    login_button->setProperty("waiting", waiting);
    login_button->style()->unpolish(login_button);
    login_button->style()->polish(login_button);
    retranslate();
}

void AuthScreen::clear_password() {
    password_edit->clear();
}

void AuthScreen::retranslate() {
    nickname_label->setText(app::tr("auth.nickname"));
    password_label->setText(app::tr("auth.password"));
    remember_check->setText(app::tr("auth.remember"));
    const bool waiting = login_button->property("waiting").toBool();
    login_button->setText(app::tr(waiting ? "auth.signing_in" : "auth.login"));
}

void AuthScreen::submit() {
    if (on_login) {
        on_login(nickname_edit->text().trimmed(), password_edit->text(),
                 remember_check->isChecked());
    }
}

}  // namespace halvark::ui::screens
