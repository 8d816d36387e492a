#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "app/translator.h"
#include "ui/components/app_button.h"
#include "ui/screens/auth_logo.h"
#include "ui/screens/auth_screen.h"
#include "ui/style_sheet.h"

using halvark::ui::components::AppButton;
using halvark::ui::screens::AuthScreen;

namespace {

struct Submitted {
    int calls = 0;
    QString login;
    QString password;
    bool remember = false;
};

}  // namespace

class AuthScreenTest : public QObject {
    Q_OBJECT

    static QList<QLineEdit*> fields(AuthScreen& screen) {
        return screen.findChildren<QLineEdit*>();
    }
    static QPushButton* login_button(AuthScreen& screen) {
        return screen.findChild<QPushButton*>();
    }

  private Q_SLOTS:
    void form_hands_trimmed_nickname_and_raw_password() {
        AuthScreen screen;
        Submitted submitted;
        screen.set_on_login([&](const QString& login, const QString& password, bool remember) {
            ++submitted.calls;
            submitted = {submitted.calls, login, password, remember};
        });
        QTest::keyClicks(fields(screen).at(0), "  Rook  ");
        QTest::keyClicks(fields(screen).at(1), " p4ss ");
        screen.findChild<QCheckBox*>()->setChecked(false);
        QTest::mouseClick(login_button(screen), Qt::LeftButton);
        QCOMPARE(submitted.calls, 1);
        QCOMPARE(submitted.login, QString("Rook"));
        QCOMPARE(submitted.password, QString(" p4ss "));
        QCOMPARE(submitted.remember, false);

        // Return in a field submits nothing.
        QTest::keyClick(fields(screen).at(1), Qt::Key_Return);
        QCOMPARE(submitted.calls, 1);
    }

    void click_without_callback_is_harmless() {
        AuthScreen screen;
        QTest::mouseClick(login_button(screen), Qt::LeftButton);
        QVERIFY(screen.findChild<QCheckBox*>()->isChecked());
    }

    void disabled_form_takes_no_input() {
        AuthScreen screen;
        int calls = 0;
        screen.set_on_login([&](const QString&, const QString&, bool) { ++calls; });
        screen.set_form_enabled(false);
        for (QLineEdit* field : fields(screen)) {
            QVERIFY(!field->isEnabled());
        }
        QVERIFY(!screen.findChild<QCheckBox*>()->isEnabled());
        QTest::mouseClick(login_button(screen), Qt::LeftButton);
        QCOMPARE(calls, 0);
        screen.set_form_enabled(true);
        QTest::mouseClick(login_button(screen), Qt::LeftButton);
        QCOMPARE(calls, 1);
        for (QLabel* label : screen.findChildren<QLabel*>()) {
            QVERIFY(label->isEnabled());
        }
    }

    void texts_follow_the_language() {
        AuthScreen screen;
        QVERIFY(halvark::app::Translator::instance().set_language("en"));
        screen.retranslate();
        QCOMPARE(login_button(screen)->text(), QString("Sign in"));
        QVERIFY(halvark::app::Translator::instance().set_language("ru"));
        screen.retranslate();
        QCOMPARE(login_button(screen)->text(), QString::fromUtf8("Войти"));
        QCOMPARE(fields(screen).at(0)->placeholderText(), QString("nickname"));
        QCOMPARE(fields(screen).at(1)->placeholderText(), QString("password"));
        QCOMPARE(fields(screen).at(1)->echoMode(), QLineEdit::Password);
        const QLabel* logo = screen.findChild<QLabel*>("auth_logo");
        QVERIFY(logo != nullptr);
        QCOMPARE(logo->pixmap().width(), 160);
    }

    void logo_decoded_ahead_is_in_place_for_the_first_frame() {
        halvark::ui::screens::start_logo_decoding();
        QWidget card;
        card.setFixedSize(330, 280);
        auto* layout = new QVBoxLayout(&card);
        auto* screen = new AuthScreen(&card);
        layout->addWidget(screen);
        auto* logo = screen->findChild<QLabel*>("auth_logo");
        QVERIFY(logo->pixmap().isNull());  // still with the worker until the page shows

        card.show();  // no event is processed between showing and the first paint here
        QCOMPARE(logo->pixmap().size(), QSize(160, 90));
        QVERIFY(logo->height() >= 90);
        QVERIFY(logo->geometry().bottom() < fields(*screen).at(0)->geometry().top());
        QVERIFY(!halvark::ui::screens::logo_decoding_pending());
    }

    void button_roles_are_styled() {
        QWidget window;
        window.setStyleSheet(halvark::ui::app_style_sheet());
        auto* primary = new AppButton("Go", 0, &window);
        auto* secondary = new AppButton("Back", 7, &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(primary->property("role").toString(), QString("primary"));
        QCOMPARE(secondary->property("role").toString(), QString("secondary"));
        const QImage primary_image = primary->grab().toImage();
        QCOMPARE(primary_image.pixelColor(primary->width() / 2, 3), QColor("#2f76f2"));
        const QImage secondary_image = secondary->grab().toImage();
        QCOMPARE(secondary_image.pixelColor(secondary->width() / 2, 0), QColor("#31415a"));
    }
};

QTEST_MAIN(AuthScreenTest)
#include "test_auth_screen.moc"
