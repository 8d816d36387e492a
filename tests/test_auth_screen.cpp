// The sign-in form: what it hands on, and when it takes input.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "app/translator.h"
#include "ui/screens/auth_screen.h"

using halvark::ui::screens::AuthScreen;

class AuthScreenTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void form_hands_trimmed_nickname_and_raw_password() {
        AuthScreen screen;
        QPushButton* button = screen.findChild<QPushButton*>();
        button->click();  // no callback yet: harmless
        QStringList submitted;
        screen.set_on_login([&](const QString& login, const QString& password, bool remember) {
            submitted << login << password << QString::number(remember);
        });
        const QList<QLineEdit*> fields = screen.findChildren<QLineEdit*>();
        QTest::keyClicks(fields[0], "  Rook  ");
        QTest::keyClicks(fields[1], " p4ss ");
        QCOMPARE(fields[1]->echoMode(), QLineEdit::Password);
        screen.findChild<QCheckBox*>()->setChecked(false);
        QTest::keyClick(fields[1], Qt::Key_Return);  // Return in a field submits nothing
        button->click();
        QCOMPARE(submitted, (QStringList{"Rook", " p4ss ", "0"}));
        screen.set_form_enabled(false);
        QVERIFY(!fields[0]->isEnabled() && !button->isEnabled());
        QVERIFY(halvark::app::Translator::instance().set_language("en"));
        screen.retranslate();
        QCOMPARE(button->text(), QString("Sign in"));
    }
};

QTEST_MAIN(AuthScreenTest)
#include "test_auth_screen.moc"
