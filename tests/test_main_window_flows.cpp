#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFrame>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "diagnostics/crash_reporter.h"
#include "storage/session_store.h"
#include "ui/screens/auth_screen.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/profile_screen.h"

using namespace halvark;
using namespace halvark::testing;

namespace {

QStackedWidget* page_stack(ui::MainWindow& window) {
    return window.findChild<QFrame*>("root")->findChild<QStackedWidget*>(
        QString(), Qt::FindDirectChildrenOnly);
}

QStackedWidget* screen_stack(ui::MainWindow& window) {
    return qobject_cast<QStackedWidget*>(
        find_widget<ui::screens::LaunchScreen>(&window)->parentWidget());
}

QString profile_button_text(ui::MainWindow& window) {
    // The account button is the launch screen's first push button.
    return find_widget<ui::screens::LaunchScreen>(&window)->findChild<QPushButton*>()->text();
}

void sign_in_through_the_form(ui::MainWindow& window, bool remember) {
    auto* form = find_widget<ui::screens::AuthScreen>(&window);
    const QList<QLineEdit*> fields = form->findChildren<QLineEdit*>();
    fields[0]->setText("rook");
    fields[1]->setText("secret");
    form->findChild<QCheckBox*>()->setChecked(remember);
    QTest::mouseClick(form->findChild<QPushButton*>(), Qt::LeftButton);
}

}  // namespace

class MainWindowFlowsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;

    FakeService& service() { return fixture->service; }
    QString session_path() const { return fixture->environment.data_path() + "/session.json"; }
    void save_session(const QString& token, qint64 expires_at) {
        QVERIFY(storage::SessionStore().save({token, expires_at}));
    }

  private Q_SLOTS:
    void initTestCase() {
        // Forced reports need the reporter; it posts to whatever endpoint the test's service has.
        diagnostics::CrashReporter::instance().init({"", "production", "halvark-launcher@0.1.0"});
    }
    void init() {
        fixture = std::make_unique<AccountFixture>();
        diagnostics::CrashReporter::instance().init(
            {service().url(kReportPath), "production", "halvark-launcher@0.1.0"});
        diagnostics::CrashReporter::instance().clear_user();
        service().reply(
            "POST", kLoginPath,
            {200, R"({"access_token":"tok-1","expires_in":3600,"user":{"nickname":"Rook"}})"});
        service().reply("GET", kMePath, {200, R"({"uuid":"u-1","nickname":"Rook","role_id":2})"});
        service().reply("POST", kHwidPath, {204, QByteArray()});
        service().reply("POST", kReportPath, {204, QByteArray()});
    }
    void cleanup() { fixture.reset(); }

    void no_saved_session_opens_the_sign_in_page() {
        auto window = fixture->make_window();
        QCOMPARE(window->size(), QSize(1000, 760));
        QCOMPARE(window->windowTitle(), QString("Halvark Launcher"));
        QCOMPARE(page_stack(*window)->currentIndex(), 0);
        QCOMPARE(service().requests_to("GET", kMePath).size(), 0);
    }

    void hidden_screens_wait_for_the_first_frame() {
        auto window = fixture->make_window();
        QVERIFY(find_widget<ui::screens::LaunchScreen>(window.get()) == nullptr);
        window->change_language("en");  // reaches the screens built later too
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_VERIFY(find_widget<ui::screens::LaunchScreen>(window.get()) != nullptr);
        const QStackedWidget* screens = screen_stack(*window);
        QCOMPARE(screens->count(), 3);
        QVERIFY(dynamic_cast<ui::screens::ProfileScreen*>(screens->widget(1)) != nullptr);
        const QList<QPushButton*> buttons = screens->widget(0)->findChildren<QPushButton*>();
        QVERIFY(std::any_of(buttons.begin(), buttons.end(),
                            [](const QPushButton* button) { return button->text() == "Play"; }));
        QTRY_COMPARE(service().requests_to("GET", "/api/v1/news").size(), 1);
        QCOMPARE(page_stack(*window)->currentIndex(), 0);
    }

    // Screen readers and tooltips say what each icon-only button does; Escape goes back.
    void icon_buttons_are_named_and_escape_goes_back() {
        auto window = fixture->make_window();
        window->change_language("en");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_VERIFY(find_widget<ui::screens::LaunchScreen>(window.get()) != nullptr);
        int icon_only = 0;
        for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (button->text().trimmed().isEmpty() && !button->icon().isNull()) {
                ++icon_only;
                QVERIFY2(!button->accessibleName().isEmpty() && !button->toolTip().isEmpty(),
                         qPrintable(button->objectName()));
            }
        }
        QCOMPARE(icon_only, 3);  // sign-out and the two back buttons
        const QPushButton* profile = screen_stack(*window)->widget(0)->findChild<QPushButton*>();
        QCOMPARE(profile->accessibleName(), app::tr("launch.profile_tooltip"));

        window->show_signed_in("Rook");
        for (const int screen : {1, 2}) {
            screen_stack(*window)->setCurrentIndex(screen);
            auto* inside = screen_stack(*window)->widget(screen)->findChild<QPushButton*>();
            inside->setFocus();
            QTest::keyClick(inside, Qt::Key_Escape);
            QCOMPARE(screen_stack(*window)->currentIndex(), 0);
        }
    }

    void window_icon_comes_in_every_asked_size() {
        auto window = fixture->make_window();
        const QIcon icon = window->windowIcon();
        const QImage large = icon.pixmap(QSize(512, 512)).toImage();
        QCOMPARE(large.size(), QSize(512, 512));
        for (const int side : {128, 64, 32, 16}) {
            const QImage small = icon.pixmap(QSize(side, side)).toImage();
            QCOMPARE(small.size(), QSize(side, side));
            // The same picture at every size: a point of the background above the letter.
            const QColor expected = large.pixelColor(256, 76);
            const QColor actual = small.pixelColor(side / 2, side * 3 / 20);
            QVERIFY2(qAbs(expected.red() - actual.red()) + qAbs(expected.green() - actual.green()) +
                             qAbs(expected.blue() - actual.blue()) <
                         40,
                     qPrintable(QString("%1 px").arg(side)));
        }
        QVERIFY(icon.pixmap(QSize(0, 0)).isNull());
    }

    void sign_in_with_remember_saves_the_session_data() {
        QTest::addColumn<bool>("remember");
        QTest::newRow("remember") << true;
        QTest::newRow("forget") << false;
    }
    void sign_in_with_remember_saves_the_session() {
        QFETCH(bool, remember);
        save_session("older", QDateTime::currentSecsSinceEpoch() - 10);  // removed at start
        save_session("stale", 100);
        auto window = fixture->make_window();
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        sign_in_through_the_form(*window, remember);
        QCOMPARE(page_stack(*window)->currentIndex(), 1);
        QCOMPARE(screen_stack(*window)->currentIndex(), 0);
        QCOMPARE(profile_button_text(*window), QString("   Rook"));
        QCOMPARE(service().requests_to("GET", kMePath).size(), 1);
        QCOMPARE(service().requests_to("POST", kHwidPath).size(), 1);
        QCOMPARE(QFile::exists(session_path()), remember);
        if (remember) {
            const auto saved = storage::SessionStore().load();
            QCOMPARE(saved->access_token, QString("tok-1"));
            QVERIFY(saved->expires_at_unix >= before + 3600);
        }
    }

    void failed_current_user_keeps_the_login_name() {
        service().reply("GET", kMePath, {500, "{}"});
        auto window = fixture->make_window();
        sign_in_through_the_form(*window, false);
        QCOMPARE(window->current_user(), QJsonObject({{"nickname", "Rook"}}));
        QVERIFY(window->force_report());
        const auto reports = service().requests_to("POST", kReportPath);
        QCOMPARE(QJsonDocument::fromJson(reports.last().body).object().value("message").toString(),
                 QString("Forced report from debug menu by Rook"));
    }

    void failed_sign_in_changes_nothing() {
        service().reply("POST", kLoginPath, {401, R"({"detail":"Wrong password"})"});
        save_session("kept", 100);
        auto window = fixture->make_window();
        handle_next_modal<QMessageBox>([](QMessageBox* box) { box->accept(); });
        sign_in_through_the_form(*window, false);
        QCOMPARE(page_stack(*window)->currentIndex(), 0);
        QCOMPARE(service().requests_to("GET", kMePath).size(), 0);
        QVERIFY(!diagnostics::CrashReporter::instance().forced_report("signed out"));
    }

    void valid_session_is_resumed() {
        save_session(token_with_payload(R"({"nickname":"FromToken"})"),
                     QDateTime::currentSecsSinceEpoch() + 600);
        auto window = fixture->make_window();
        QCOMPARE(page_stack(*window)->currentIndex(), 1);
        QCOMPARE(screen_stack(*window)->currentIndex(), 0);
        QCOMPARE(service().requests_to("GET", kMePath).size(), 2);
        QCOMPARE(service().requests_to("POST", kHwidPath).size(), 1);
        QCOMPARE(profile_button_text(*window), QString("   Rook"));
        QCOMPARE(window->current_user().value("uuid").toString(), QString("u-1"));
    }

    void resume_names_without_current_user_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("name");
        QTest::newRow("name from the token")
            << token_with_payload(R"({"username":" Claimed "})") << "Claimed";
        QTest::newRow("no name anywhere") << QString("opaque") << "Player";
    }
    void resume_names_without_current_user() {
        QFETCH(QString, token);
        QFETCH(QString, name);
        service().reply("GET", kMePath, {401, R"({"detail":"expired"})"});
        save_session(token, QDateTime::currentSecsSinceEpoch() + 600);
        auto window = fixture->make_window();
        QCOMPARE(page_stack(*window)->currentIndex(), 1);
        QCOMPARE(profile_button_text(*window), "   " + name);
        QCOMPARE(window->current_user(), QJsonObject());
    }

    void session_expiring_this_second_is_removed() {
        save_session("tok", QDateTime::currentSecsSinceEpoch());
        auto window = fixture->make_window();
        QCOMPARE(page_stack(*window)->currentIndex(), 0);
        QVERIFY(!QFile::exists(session_path()));
        QCOMPARE(service().requests_to("GET", kMePath).size(), 0);
    }

    void sign_out_and_in_again_lands_on_the_launch_screen() {
        save_session("tok", QDateTime::currentSecsSinceEpoch() + 600);
        auto window = fixture->make_window();
        window->open_profile();
        QCOMPARE(screen_stack(*window)->currentIndex(), 1);
        QCOMPARE(service().requests_to("GET", kMePath).size(), 3);

        window->handle_sign_out();
        QCOMPARE(page_stack(*window)->currentIndex(), 0);
        QVERIFY(!QFile::exists(session_path()));
        QCOMPARE(window->current_user(), QJsonObject());
        QVERIFY(!window->force_report());
        QCOMPARE(service().requests_to("POST", kReportPath).size(), 0);

        sign_in_through_the_form(*window, true);
        QCOMPARE(page_stack(*window)->currentIndex(), 1);
        QCOMPARE(screen_stack(*window)->currentIndex(), 0);
    }

    void forced_report_names_the_player_data() {
        QTest::addColumn<QByteArray>("me");
        QTest::addColumn<QString>("message");
        QTest::newRow("with nickname")
            << QByteArray(R"({"nickname":" Rook "})") << "Forced report from debug menu by Rook";
        QTest::newRow("without nickname")
            << QByteArray(R"({"uuid":"u"})") << "Forced report from debug menu";
    }
    void forced_report_names_the_player() {
        QFETCH(QByteArray, me);
        service().reply("GET", kMePath, {200, me});
        save_session("tok", QDateTime::currentSecsSinceEpoch() + 600);
        auto window = fixture->make_window();
        QVERIFY(window->force_report());
        const QJsonObject report =
            QJsonDocument::fromJson(service().requests_to("POST", kReportPath).last().body)
                .object();
        QTEST(report.value("message").toString(), "message");
    }
};

QTEST_MAIN(MainWindowFlowsTest)
#include "test_main_window_flows.moc"
