#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>
#include <cmath>

#include "app/translator.h"
#include "ui/components/app_button.h"
#include "ui/screens/auth_logo.h"
#include "ui/screens/auth_screen.h"
#include "ui/style_sheet.h"

using halvark::ui::components::AppButton;
using halvark::ui::screens::AuthScreen;

namespace {

double luminance(const QColor& colour) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

// WCAG contrast between a label's background (its corner) and its strongest text pixel, as
// drawn in its dialog.
double text_contrast(QWidget* dialog, QWidget* label) {
    const QImage image =
        dialog->grab().toImage().copy(QRect(label->mapTo(dialog, QPoint(0, 0)), label->size()));
    const double background = luminance(image.pixelColor(0, 0));
    double strongest = 1.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const double text = luminance(image.pixelColor(x, y));
            strongest = std::max(strongest, (std::max(text, background) + 0.05) /
                                                (std::min(text, background) + 0.05));
        }
    }
    return strongest;
}

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

    void logo_is_sharp_at_every_density_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::addColumn<QSize>("pixels");
        QTest::newRow("1") << 1.0 << QSize(160, 90);
        QTest::newRow("2") << 2.0 << QSize(320, 180);
    }
    void logo_is_sharp_at_every_density() {
        QFETCH(qreal, ratio);
        const QPixmap logo = halvark::ui::screens::sign_in_logo(ratio);
        QTEST(logo.size(), "pixels");
        QCOMPARE(logo.deviceIndependentSize(), QSizeF(160, 90));
        // The same smooth scaling as from the large artwork at start.
        QImage expected = QImage(":/assets/png/logo.png")
                              .scaled(logo.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
        expected.setDevicePixelRatio(ratio);
        QCOMPARE(logo.toImage().convertToFormat(QImage::Format_ARGB32), expected);
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

    // The dialogs the toolkit draws for the launcher take its dark theme, readable (WCAG AA).
    void dialogs_are_readable_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("warning") << "warning";
        QTest::newRow("code prompt") << "input";
    }
    void dialogs_are_readable() {
        QFETCH(QString, kind);
        QWidget window;
        window.setStyleSheet(halvark::ui::app_style_sheet());
        QDialog* dialog = nullptr;
        if (kind == "warning") {
            dialog = new QMessageBox(QMessageBox::Warning, "Title", "Invalid nickname or password",
                                     QMessageBox::Ok, &window);
        } else {
            auto* input = new QInputDialog(&window);
            input->setLabelText("Enter the 6-digit code");
            dialog = input;
        }
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        for (QLabel* label : dialog->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                const double contrast = text_contrast(dialog, label);
                QVERIFY2(contrast >= 4.5, qPrintable(QString::number(contrast)));
            }
        }
        delete dialog;
    }
};

QTEST_MAIN(AuthScreenTest)
#include "test_auth_screen.moc"
