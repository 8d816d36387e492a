// The main window: sign-in, resume, sign-out and forced reports end to end against a fake
// service, and its answers to the settings screen through a real settings.json.
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QJsonDocument>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "diagnostics/crash_reporter.h"
#include "storage/data_folder.h"
#include "storage/session_store.h"
#include "storage/settings_store.h"
#include "ui/memory_limits.h"
#include "ui/screens/auth_logo.h"
#include "ui/screens/auth_screen.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/settings_screen.h"

using namespace halvark;
using namespace halvark::testing;

class MainWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    std::unique_ptr<ui::MainWindow> window;
    const qint32 total = ui::total_physical_memory_mb();

    FakeService& service() { return fixture->service; }
    QString data(const QString& name) const { return fixture->environment.data_path() + name; }
    int page() {
        return window->findChild<QFrame*>("root")->findChild<QStackedWidget*>()->currentIndex();
    }
    QStackedWidget* screens() {
        return static_cast<QStackedWidget*>(
            find_widget<ui::screens::LaunchScreen>(window.get())->parentWidget());
    }
    QString account_button() {
        return find_widget<ui::screens::LaunchScreen>(window.get())
            ->findChild<QPushButton*>()
            ->text();
    }
    void start(qint64 session_expiry = 0, const QString& token = "tok") {
        if (session_expiry != 0) {
            QVERIFY(storage::SessionStore().save({token, session_expiry}));
        }
        window = fixture->make_window();
    }
    void sign_in_through_the_form(bool remember) {
        auto* form = find_widget<ui::screens::AuthScreen>(window.get());
        form->findChildren<QLineEdit*>()[0]->setText("  rook  ");
        form->findChildren<QLineEdit*>()[1]->setText(" secret ");
        form->findChild<QCheckBox*>()->setChecked(remember);
        form->findChild<QPushButton*>()->click();
    }

  private Q_SLOTS:
    void init() {
        fixture = std::make_unique<AccountFixture>();
        diagnostics::CrashReporter::instance().init(
            {service().url(kReportPath), "production", "r"});
        diagnostics::CrashReporter::instance().clear_user();
        app::Translator::instance().set_language("ru");
        service().reply(
            "POST", kLoginPath,
            {200, R"({"access_token":"tok-1","expires_in":3600,"user":{"nickname":"Rook"}})"});
        service().reply("GET", kMePath, {200, R"({"uuid":"u-1","nickname":"Rook","role_id":2})"});
        service().reply("POST", kHwidPath, {204, QByteArray()});
        service().reply("POST", kReportPath, {204, QByteArray()});
    }
    void cleanup() {
        window.reset();
        fixture.reset();
    }

    void sign_in_remembers_or_forgets() {
        for (const bool remember : {true, false}) {
            start(100, "stale");
            const qint64 before = QDateTime::currentSecsSinceEpoch();
            sign_in_through_the_form(remember);
            QCOMPARE(page(), 1);
            QCOMPARE(account_button(), QString("   Rook"));
            QCOMPARE(QFile::exists(data("/session.json")), remember);
            QVERIFY(!remember || storage::SessionStore().load()->expires_at_unix >= before + 3600);
        }
        QCOMPARE(service().requests_to("POST", kHwidPath).size(), 2);
        QCOMPARE(service().requests_to("POST", kLoginPath).first().body,  // the nickname trimmed
                 R"({"login":"rook","password":" secret "})");
    }

    void resume() {
        for (const auto& [me, token, name] :
             {std::tuple{R"({"nickname":"Rook"})", QString("t"), "Rook"},
              {"", token_with_payload(R"({"username":" C "})"), "C"},
              {"", QString("x"), "Player"}}) {
            service().reply("GET", kMePath, {QByteArray(me).isEmpty() ? 401 : 200, me});
            start(QDateTime::currentSecsSinceEpoch() + 600, token);
            QCOMPARE(page(), 1);
            QCOMPARE(account_button().trimmed(), QString(name));
            QVERIFY(window->force_report());
            const QByteArray report = service().requests_to("POST", kReportPath).last().body;
            QCOMPARE(QJsonDocument::fromJson(report)["message"].toString(),
                     "Forced report from debug menu" + QString(*me ? " by Rook" : ""));
        }
        QCOMPARE(service().requests_to("POST", kHwidPath).size(), 3);
    }

    void sign_out_and_in_again() {
        start(QDateTime::currentSecsSinceEpoch() + 600);
        window->open_profile();  // asks for the account again
        QCOMPARE(service().requests_to("GET", kMePath).size(), 3);
        window->handle_sign_out();
        QCOMPARE(page(), 0);
        QVERIFY(!QFile::exists(data("/session.json")));
        QVERIFY(!window->force_report());
        sign_in_through_the_form(true);
        QCOMPARE(page(), 1);
        QCOMPARE(screens()->currentIndex(), 0);
    }

    // A sign-out clicked while the profile refresh waits is carried out when it ends, and the
    // password does not stay in the form for the next person at the computer.
    void sign_out_is_never_lost_and_forgets_the_password() {
        start();
        sign_in_through_the_form(true);
        QCOMPARE(page(), 1);
        service().on("GET", kMePath, [](const RecordedRequest&) {
            QThread::msleep(300);
            return Reply{200, R"({"nickname":"Rook"})"};
        });
        QStringList shown;  // the words while the profile waits, and once the sign-out waits
        QTimer::singleShot(100, [this, &shown] {
            auto* launch = find_widget<ui::screens::LaunchScreen>(window.get());
            shown << launch->findChild<QPushButton*>()->text().trimmed();
            window->handle_sign_out();
            for (QPushButton* button : launch->findChildren<QPushButton*>()) {
                if (button->toolTip() == app::tr("launch.signing_out")) {
                    shown << QString::number(button->isEnabled());
                }
            }
        });
        window->open_profile();
        QCOMPARE(shown, QStringList({app::tr("launch.profile_loading"), "0"}));
        QCOMPARE(account_button(), app::tr("launch.profile"));  // the words are gone
        QCOMPARE(page(), 0);
        QVERIFY(!QFile::exists(data("/session.json")));
        auto* form = find_widget<ui::screens::AuthScreen>(window.get());
        QCOMPARE(form->findChildren<QLineEdit*>()[0]->text(), QString("  rook  "));
        QCOMPARE(form->findChildren<QLineEdit*>()[1]->text(), QString());
        QVERIFY(form->findChild<QCheckBox*>()->isChecked());
        form->findChildren<QLineEdit*>()[1]->setText("secret");
        for (QLineEdit* field : form->findChildren<QLineEdit*>()) {
            QTest::keyClick(field, Qt::Key_Return);
            QTest::keyClick(field, Qt::Key_Enter);
        }
        QCOMPARE(page(), 0);  // only the button submits
        form->findChild<QPushButton*>()->click();
        QCOMPARE(page(), 1);
    }

    // A data folder that forbids removing the saved session (made immutable, which binds
    // root too, or read-only): the record is emptied in place, or the player is told; the
    // next start never resumes the account silently.
    void sign_out_with_a_locked_data_folder_data() {
        QTest::addColumn<bool>("file_locked_too");
        QTest::newRow("folder locked") << false;
        QTest::newRow("folder and file locked") << true;
    }
    void sign_out_with_a_locked_data_folder() {
        QFETCH(bool, file_locked_too);
#ifdef Q_OS_WIN
        QSKIP("read-only folders still allow removal on Windows");
#endif
        start(QDateTime::currentSecsSinceEpoch() + 600);
        QCOMPARE(page(), 1);
        QStringList locked{data("")};
        if (file_locked_too) {
            locked.prepend(data("/session.json"));
        }
        const auto lock = [&](bool on) {
            for (const QString& path : locked) {
                QFile::setPermissions(path,
                                      on ? QFile::ReadOwner | QFile::ExeOwner
                                         : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                QProcess::execute("chattr", {on ? "+i" : "-i", path});
            }
        };
        lock(true);
        if (QFile probe(data("/probe")); probe.open(QIODevice::WriteOnly)) {
            lock(false);  // root without chattr: nothing here can lock a folder
            QSKIP("the data folder cannot be locked on this machine");
        }
        QString told;
        const QPointer<QTimer> waiting = capture_next_message(&told);
        window->handle_sign_out();
        lock(false);
        delete waiting;  // no box came
        QCOMPARE(page(), 0);
        QCOMPARE(told.contains("session.json"), file_locked_too);
        if (QFile::exists(data("/session.json")) && !file_locked_too) {
            QVERIFY(!storage::SessionStore().load());
        }
        if (!file_locked_too) {
            start();
            QCOMPARE(page(), 0);
        }
    }

    // While the sign-in waits the button says so; the words are gone when it ends, also
    // before a failure is shown.
    void sign_in_says_it_waits() {
        for (const int status : {200, 401}) {
            start();
            service().on("POST", kLoginPath, [status](const RecordedRequest&) {
                QThread::msleep(300);
                return Reply{status, R"({"access_token":"tok-1","detail":"no"})"};
            });
            auto* button =
                find_widget<ui::screens::AuthScreen>(window.get())->findChild<QPushButton*>();
            QString meanwhile, at_failure;
            QTimer::singleShot(100, [&] { meanwhile = button->text(); });
            if (status != 200) {
                handle_next_modal<QMessageBox>([&](QMessageBox* box) {
                    at_failure = button->text();
                    box->accept();
                });
            }
            sign_in_through_the_form(false);
            QCOMPARE(meanwhile, app::tr("auth.signing_in"));
            QCOMPARE(button->text(), app::tr("auth.login"));
            QCOMPARE(at_failure, status == 200 ? QString() : app::tr("auth.login"));
            window.reset();
        }
    }

    void saving_clamps_normalises_and_applies() {
        start();
        window->open_settings();
        window->save_settings("en", 500, false, " /games//halvark/./ ", false);
        const storage::SettingsStore store;
        QCOMPARE(store.ram_mb(), 1024);
        QCOMPARE(store.game_directory(), QString("/games/halvark"));
        QVERIFY(!store.server_list_background_enabled() && !store.auto_ram());
        QCOMPARE(screens()->currentIndex(), 0);
        QCOMPARE(app::Translator::instance().language(), QString("en"));
        window->save_settings("ru", 9999999, false, "   ", true);
        QCOMPARE(store.ram_mb(), ui::max_ram_mb(total));
        QVERIFY2(total >= 256 && total < (1 << 30), qPrintable(QString::number(total)));
        QCOMPARE(store.game_directory(), storage::default_game_directory());
        window->open_settings();
        window->save_settings("xx", 4096, false, "/elsewhere", true);  // no such language file
        QCOMPARE(store.language(), QString("ru"));
        QCOMPARE(screens()->currentIndex(), 2);
        app::Translator::instance().set_language("en");
        start();  // the next start takes the saved language
        QCOMPARE(app::Translator::instance().language(), QString("ru"));
    }

    // The logo's raw build-time renditions: the right one per scale, read as pixels.
    void sign_in_logo_at_each_scale_data() {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("scale 1") << 1.0;
        QTest::newRow("scale 1.5") << 1.5;
        QTest::newRow("scale 2") << 2.0;
    }
    void sign_in_logo_at_each_scale() {
        QFETCH(qreal, ratio);
        const QImage logo =
            ui::screens::sign_in_logo(ratio).toImage().convertToFormat(QImage::Format_ARGB32);
        const int scale = ratio > 1.0 ? 2 : 1;
        QCOMPARE(logo.size(), QSize(160, 90) * scale);
        QCOMPARE(logo.devicePixelRatio(), qreal(scale));
        const auto* pixels = reinterpret_cast<const QRgb*>(logo.constBits());
        const qsizetype area = qsizetype(logo.width()) * logo.height(),
                        opaque = std::count_if(pixels, pixels + area,
                                               [](QRgb pixel) { return qAlpha(pixel) == 255; });
        QVERIFY2(opaque > area / 20 && opaque < area, qPrintable(QString::number(opaque)));
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
