// A service that answers every launcher request with something hostile: the launcher
// stays alive and responsive, within its time-outs, and loses no stored file.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "diagnostics/crash_reporter.h"
#include "image_samples.h"
#include "storage/session_store.h"

using namespace halvark;
using namespace halvark::testing;

namespace {

const QByteArray kSettings = R"({"language":"ru","ram_mb":2048,"auto_ram":false,"theme":"kept"})";

QByteArray read_all(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Counts timer ticks while the launcher waits: a frozen event loop would count none.
struct Heartbeat {
    QTimer timer;
    int ticks = 0;
    Heartbeat() {
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start(100);
    }
};

}  // namespace

class HostileServiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;

    void store_files() {
        QDir().mkpath(fixture->environment.data_path());
        QFile settings(fixture->environment.data_path() + "/settings.json");
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(kSettings);
        settings.close();
        QVERIFY(storage::SessionStore().save({"tok", QDateTime::currentSecsSinceEpoch() + 600}));
    }
    void expect_files_intact() {
        QCOMPARE(read_all(fixture->environment.data_path() + "/settings.json"), kSettings);
        QCOMPARE(storage::SessionStore().load()->access_token, QString("tok"));
    }
    void sign_in_fails_politely(ui::MainWindow& window) {
        QString shown;
        capture_next_message(&shown);
        QString name, token;
        qint64 expires = 0;
        QVERIFY(!window.perform_login("Rook", "pw", name, token, expires));
        QVERIFY(!shown.isEmpty());
        QVERIFY(shown.size() < 1000);
    }

  private Q_SLOTS:
    void init() {
        fixture = std::make_unique<AccountFixture>();
        store_files();
    }
    void cleanup() { fixture.reset(); }

    void every_answer_is_hostile_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty body") << QByteArray();
        QTest::newRow("invalid utf-8")
            << QByteArray("\xff\xfe{\"access_token\":\"\xc3\x28\",\"detail\":\"\xed\xa0\x80\"}");
        QTest::newRow("deep nesting") << QByteArray(200000, '[');
        QTest::newRow("50 MB") << QByteArray(50LL * 1024 * 1024, '{');
        QTest::newRow("wrong types") << QByteArray(
            R"({"access_token":5,"expires_in":"x","user":[],"detail":{"code":7,"message":[]},)"
            R"("message":{},"uuid":7,"nickname":{},"donate_roles":"x","role_id":"2","money":"9",)"
            R"("items":5,"data":{"a":1},"images":7,"id":"3","title":[1]})");
        QTest::newRow("picture claiming 100000 x 100000") << png_claiming(100000, 100000);
    }
    void every_answer_is_hostile() {
        QFETCH(QByteArray, body);
        fixture->service.on_any([body](const RecordedRequest&) { return Reply{200, body}; });
        Heartbeat heartbeat;
        QElapsedTimer clock;
        clock.start();
        auto window = fixture->make_window();  // resumes the saved session
        QVERIFY(clock.elapsed() < 20000);
        QCOMPARE(window->findChild<QFrame*>("root")->findChild<QStackedWidget*>()->currentIndex(),
                 1);
        QTest::qWait(500);  // let the home screen digest its answers
        sign_in_fails_politely(*window);
        expect_files_intact();
        QVERIFY(fixture->service.requests_to("GET", "/api/v1/news").size() == 1);
    }

    void trickling_service_is_given_up_on_time() {
        auto window = fixture->make_window();
        fixture->service.on_any([](const RecordedRequest&) {
            return Reply{200, QByteArray(100000, ' '), "application/json", {}, 100};
        });
        Heartbeat heartbeat;
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(window->fetch_me("tok"), QJsonObject());
        QVERIFY(clock.elapsed() >= ui::kMeTimeoutMs - 100 &&
                clock.elapsed() < ui::kMeTimeoutMs + 2000);
        QVERIFY2(heartbeat.ticks >= 40, qPrintable(QString::number(heartbeat.ticks)));
        expect_files_intact();
    }

    // A redirect to another host (127.0.0.2) must not take a password, token or report along.
    void credentials_stay_on_their_origin_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("same_origin");
        QTest::newRow("login, 307") << kLoginPath << 307 << false;
        QTest::newRow("current user, 302") << kMePath << 302 << false;
        QTest::newRow("hardware id, 307") << kHwidPath << 307 << false;
        QTest::newRow("crash report, 307") << kReportPath << 307 << false;
        QTest::newRow("current user within the origin") << kMePath << 302 << true;
    }
    void credentials_stay_on_their_origin() {
        QFETCH(QString, path);
        QFETCH(int, status);
        QFETCH(bool, same_origin);
        auto window = fixture->make_window();
        FakeService other("127.0.0.2");
        const QByteArray answer = R"({"access_token":"t","uuid":"u1"})";
        other.on_any([answer](const RecordedRequest&) { return Reply{200, answer}; });
        fixture->service.reply("GET", "/moved", {200, answer});
        const QString target = same_origin ? fixture->service.url("/moved") : other.url(path);
        fixture->service.reply(path.contains("/me") ? "GET" : "POST", path,
                               {status, {}, "application/json", {{"Location", target}}});

        bool succeeded = false;
        if (path == kLoginPath) {
            QString shown, name, token;
            qint64 expires = 0;
            capture_next_message(&shown);
            succeeded = window->perform_login("Rook", "pw", name, token, expires);
        } else if (path == kMePath) {
            succeeded = !window->fetch_me("tok").isEmpty();
        } else if (path == kHwidPath) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HWID submit failed"));
            succeeded = window->submit_hwid("tok");
        } else {
            auto& reporter = diagnostics::CrashReporter::instance();
            reporter.init({fixture->service.url(kReportPath), "test", "r"});
            reporter.set_user("tok", QJsonObject{{"uuid", "u1"}});
            succeeded = reporter.forced_report("report");
            reporter.clear_user();
        }
        QCOMPARE(succeeded, same_origin);
        QCOMPARE(other.requests().size(), 0);
    }

    void login_failure_is_shown_as_plain_text_data() {
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("shown");
        const QString markup = "<img src=/etc/hostname><a href='http://127.0.0.2/'>link</a>";
        QTest::newRow("markup") << markup << markup;
        QTest::newRow("1 MB") << QString(1000000, QChar(0x77))
                              << QString(1999, QChar(0x77)) + QChar(0x2026);
    }
    void login_failure_is_shown_as_plain_text() {
        QFETCH(QString, detail);
        fixture->service.reply("POST", kLoginPath,
                               {401, QJsonDocument(QJsonObject{{"detail", detail}}).toJson()});
        auto window = fixture->make_window();
        QString text;
        Qt::TextFormat format = Qt::AutoText;
        handle_next_modal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            format = box->textFormat();
            box->accept();
        });
        QString name, token;
        qint64 expires = 0;
        QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
        QCOMPARE(format, Qt::PlainText);
        QTEST(text, "shown");
    }

    void endless_answers_are_cut_off() {
        const Reply endless{200, QByteArray(64 * 1024, ' '), "application/json", {}, 0, true};
        fixture->service.on_any([endless](const RecordedRequest&) { return endless; });
        fixture->service.reply("GET", "/api/v1/news", endless);
        fixture->service.reply("GET", "/api/launcher/server-profiles", endless);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HWID submit failed: 200 "));
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression("^Server profiles request failed: status=200 "));
        QElapsedTimer clock;
        clock.start();
        auto window = fixture->make_window();  // resumes: current user twice, hardware id
        QVERIFY2(clock.elapsed() < ui::kMeTimeoutMs, qPrintable(QString::number(clock.elapsed())));
        auto* selector = window->findChild<QLabel*>("server_profile_title");
        QTRY_COMPARE_WITH_TIMEOUT(selector->text(), app::tr("launch.server_profiles_empty"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(window->findChild<QLabel*>("news_primary_title")->text(),
                                  app::tr("launch.news_empty"), 5000);
    }

    // Whether the excess is seen while the answer streams in or only once it is whole.
    void answers_just_over_their_limit_fail() {
        const QByteArray padding = QByteArray(1 << 20, 'p') + "\"}";
        fixture->service.reply("GET", kMePath, {200, "{\"uuid\":\"u1\",\"pad\":\"" + padding});
        fixture->service.reply("POST", kLoginPath,
                               {200, "{\"access_token\":\"t\",\"pad\":\"" + padding});
        auto window = fixture->make_window();
        QCOMPARE(window->fetch_me("tok"), QJsonObject());
        QString shown, name, token;
        qint64 expires = 0;
        capture_next_message(&shown);
        QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
        QVERIFY2(shown == "The answer was too large" || shown == "Operation canceled",
                 qPrintable(shown));
    }

    // A second sign-in started while the first one waits must neither run nor mix accounts.
    void sign_in_is_one_operation() {
        QVERIFY(storage::SessionStore().clear());
        fixture->service.on("POST", kLoginPath, [](const RecordedRequest& request) {
            const QString login = QJsonDocument::fromJson(request.body)["login"].toString();
            return Reply{200, QJsonDocument(QJsonObject{{"access_token", "tok-" + login},
                                                        {"expires_in", login.size() * 1000}})
                                  .toJson()};
        });
        fixture->service.on("GET", kMePath, [](const RecordedRequest&) {
            QThread::msleep(600);
            return Reply{200, R"({"nickname":"Rook"})"};
        });
        auto window = fixture->make_window();
        auto* nickname_field = window->findChild<QLineEdit*>();
        bool enabled_meanwhile = true;
        QTimer::singleShot(300, [&] {
            enabled_meanwhile = nickname_field->isEnabled();
            window->handle_sign_in("Warden", "pw", true);
            window->handle_sign_out();
        });
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        window->handle_sign_in("Rook", "pw", true);
        QVERIFY(!enabled_meanwhile);
        QVERIFY(nickname_field->isEnabled());
        QCOMPARE(fixture->service.requests_to("POST", kLoginPath).size(), 1);
        const auto saved = storage::SessionStore().load();
        QCOMPARE(saved->access_token, QString("tok-Rook"));
        QVERIFY(saved->expires_at_unix >= before + 4000 && saved->expires_at_unix < before + 4100);
        QCOMPARE(window->current_user().value("nickname").toString(), QString("Rook"));
    }

    void reset_connections_are_failures() {
        QTcpServer resetter;
        QVERIFY(resetter.listen(QHostAddress::LocalHost));
        QObject::connect(&resetter, &QTcpServer::newConnection, [&resetter] {
            while (QTcpSocket* socket = resetter.nextPendingConnection()) {
                socket->abort();
            }
        });
        const QByteArray address = "http://127.0.0.1:" + QByteArray::number(resetter.serverPort());
        qputenv("HALVARK_LAUNCHER_API_URL", address);
        qputenv("HALVARK_LAUNCHER_SITE_URL", address);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HWID submit failed: 0 .+"));
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression("^Server profiles request failed: status=0 .+"));
        auto window = fixture->make_window();
        QTest::qWait(300);
        sign_in_fails_politely(*window);
        expect_files_intact();
    }
};

QTEST_MAIN(HostileServiceTest)
#include "test_hostile_service.moc"
