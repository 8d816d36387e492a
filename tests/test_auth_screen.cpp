// The sign-in form, the logo at every density, and the look the style sheet gives buttons and
// the toolkit's dialogs.
#include <QCheckBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>
#include <cmath>

#include "app/translator.h"
#include "ui/components/app_button.h"
#include "ui/screens/auth_logo.h"
#include "ui/screens/auth_screen.h"
#include "ui/style_sheet.h"

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

}  // namespace

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

    void logo_is_sharp_at_every_density() {
        for (const qreal ratio : {1.0, 2.0}) {
            const QPixmap logo = halvark::ui::screens::sign_in_logo(ratio);
            QCOMPARE(logo.size(), QSize(160, 90) * ratio);
            QCOMPARE(logo.deviceIndependentSize(), QSizeF(160, 90));
            // The same smooth scaling as from the large artwork at start.
            QImage expected =
                QImage(":/assets/png/logo.png")
                    .scaled(logo.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .convertToFormat(QImage::Format_ARGB32);
            expected.setDevicePixelRatio(ratio);
            QCOMPARE(logo.toImage().convertToFormat(QImage::Format_ARGB32), expected);
        }
    }

    void buttons_and_dialogs_take_the_dark_theme() {
        QWidget window;
        window.setStyleSheet(halvark::ui::app_style_sheet());
        auto* primary = new halvark::ui::components::AppButton("Go", 0, &window);
        auto* secondary = new halvark::ui::components::AppButton("Back", 7, &window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(primary->grab().toImage().pixelColor(primary->width() / 2, 3), QColor("#2f76f2"));
        QCOMPARE(secondary->grab().toImage().pixelColor(secondary->width() / 2, 0),
                 QColor("#31415a"));
        auto* input = new QInputDialog(&window);
        input->setLabelText("Enter the 6-digit code");
        for (QDialog* dialog : {static_cast<QDialog*>(new QMessageBox(
                                    QMessageBox::Warning, "T", "Invalid nickname or password",
                                    QMessageBox::Ok, &window)),
                                static_cast<QDialog*>(input)}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            for (QLabel* label : dialog->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) {
                    QVERIFY(text_contrast(dialog, label) >= 4.5);  // WCAG AA
                }
            }
        }
    }
};

QTEST_MAIN(AuthScreenTest)
#include "test_auth_screen.moc"
