// A service that answers with hostile data, redirects, endless or oversized bodies: the
// launcher stays responsive within its time-outs, keeps credentials home and loses no file.
#include <QElapsedTimer>
#include <QFrame>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStackedWidget>
#include <QThread>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "diagnostics/crash_reporter.h"
#include "image_samples.h"
#include "net/network_policy.h"
#include "storage/session_store.h"
#include "test_support.h"

using namespace halvark;
using namespace halvark::testing;

class HostileServiceTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    const QByteArray settings = R"({"language":"ru","ram_mb":2048,"theme":"kept"})";

    QString failed_sign_in(ui::MainWindow& window) {
        QString shown, name, token;
        qint64 expires = 0;
        capture_next_message(&shown);
        [&] { QVERIFY(!window.perform_login("Rook", "pw", name, token, expires)); }();
        return shown;
    }
    QString settings_path() const { return fixture->environment.data_path() + "/settings.json"; }

  private Q_SLOTS:
    void init() {
        fixture = std::make_unique<AccountFixture>();
        QVERIFY(write_file(settings_path(), settings));
        QVERIFY(storage::SessionStore().save({"tok", QDateTime::currentSecsSinceEpoch() + 600}));
    }
    void cleanup() { fixture.reset(); }

    void every_answer_is_hostile_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("invalid utf-8")
            << QByteArray("\xff{\"access_token\":\"\xc3\x28\",\"detail\":\"\xed\xa0\x80\"}");
        QTest::newRow("deep nesting") << QByteArray(200000, '[');
        QTest::newRow("wrong types") << QByteArray(
            R"({"access_token":5,"expires_in":"x","user":[],)"
            R"("detail":{"code":7},"uuid":7,"donate_roles":"x","money":"9","items":5,"images":7})");
        QTest::newRow("picture of 100000 x 100000") << png_claiming(100000, 100000);
    }
    void every_answer_is_hostile() {
        QFETCH(QByteArray, body);
        fixture->service.on_any([body](const RecordedRequest&) { return Reply{200, body}; });
        auto window = fixture->make_window();  // resumes the saved session
        QCOMPARE(window->findChild<QFrame*>("root")->findChild<QStackedWidget*>()->currentIndex(),
                 1);
        QTest::qWait(300);  // let the home screen digest its answers
        QVERIFY(!failed_sign_in(*window).isEmpty());
        QCOMPARE(read_file(settings_path()), settings);
        QCOMPARE(storage::SessionStore().load()->access_token, QString("tok"));
    }

    // A token that would add a header or smuggle a second request is no token at all: the
    // sign-in fails, and no request carries it, whether it came from the login or was handed on.
    void tokens_never_reach_a_header() {
        auto window = fixture->make_window();
        fixture->service.on_any([](const RecordedRequest&) { return Reply{200, "{}"}; });
        const int before = fixture->service.requests().size();
        for (const QString& token :
             {QString("t\r\nX-Evil: 1"), QString("t\nX-Evil: 1"), QString("t") + QChar(0) + "\r\nX",
              QString("t\r\n\r\nGET /other HTTP/1.1\r\nHost: x\r\n"), QString("t x"),
              QString(net::kMaxBearerTokenChars + 1, 'a')}) {
            fixture->service.reply(
                "POST", kLoginPath,
                {200, QJsonDocument(QJsonObject{{"access_token", token}}).toJson()});
            QCOMPARE(failed_sign_in(*window), QString("Invalid access_token in login response"));
            QVERIFY(window->fetch_me(token).isEmpty() && !window->submit_hwid(token));
        }
        int logins = 0;
        for (const RecordedRequest& request : fixture->service.requests().mid(before)) {
            QVERIFY(request.path != kMePath && request.path != kHwidPath);
            QVERIFY(request.path != "/other" && !request.headers.contains("x-evil"));
            logins += request.path == kLoginPath ? 1 : 0;
        }
        QCOMPARE(logins, 6);
    }

    // A redirect to another host (127.0.0.2) must not take a password, token or report along.
    void credentials_stay_on_their_origin_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("same_origin");
        QTest::newRow("login") << kLoginPath << false;
        QTest::newRow("current user") << kMePath << false;
        QTest::newRow("crash report") << kReportPath << false;
        QTest::newRow("current user within the origin") << kMePath << true;
    }
    void credentials_stay_on_their_origin() {
        QFETCH(QString, path);
        QFETCH(bool, same_origin);
        auto window = fixture->make_window();
        FakeService other("127.0.0.2");
        const QByteArray answer = R"({"access_token":"t","uuid":"u1"})";
        other.on_any([answer](const RecordedRequest&) { return Reply{200, answer}; });
        fixture->service.reply("GET", "/moved", {200, answer});
        const QString target = same_origin ? fixture->service.url("/moved") : other.url(path);
        fixture->service.reply(
            path == kMePath ? "GET" : "POST", path,
            {path == kMePath ? 302 : 307, {}, "application/json", {{"Location", target}}});
        bool succeeded = false;
        if (path == kLoginPath) {
            succeeded = failed_sign_in(*window).isEmpty();
        } else if (path == kMePath) {
            succeeded = !window->fetch_me("tok").isEmpty();
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

    void login_failure_is_shown_as_plain_text() {
        const QString markup = "<img src=/etc/hostname><a href='http://127.0.0.2/'>link</a>";
        fixture->service.reply("POST", kLoginPath,
                               {401, QJsonDocument(QJsonObject{{"detail", markup}}).toJson()});
        auto window = fixture->make_window();
        QString text, name, token;
        Qt::TextFormat format = Qt::AutoText;
        handle_next_modal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            format = box->textFormat();
            box->accept();
        });
        qint64 expires = 0;
        QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
        QCOMPARE(text, markup);
        QCOMPARE(format, Qt::PlainText);
    }

    void endless_answers_are_cut_off() {
        const Reply endless{200, QByteArray(64LL * 1024, ' '), "application/json", {}, true};
        fixture->service.on_any([endless](const RecordedRequest&) { return Reply(endless); });
        fixture->service.reply("GET", "/api/v1/news", endless);
        fixture->service.reply("GET", "/api/launcher/server-profiles", endless);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HWID submit failed: 200 "));
        QTest::ignoreMessage(QtCriticalMsg,
                             QRegularExpression("^Server profiles request failed: status=200 "));
        auto window = fixture->make_window();  // resumes: current user twice, hardware id
        QTRY_COMPARE_WITH_TIMEOUT(window->findChild<QLabel*>("server_profile_title")->text(),
                                  app::tr("launch.server_profiles_empty"), testing::kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(window->findChild<QLabel*>("news_primary_title")->text(),
                                  app::tr("launch.news_empty"), testing::kPatienceMs);
    }

    // Whether the excess is seen while the answer streams in or only once it is whole.
    void answers_just_over_their_limit_fail() {
        const QByteArray padding = QByteArray(1 << 20, 'p') + "\"}";
        fixture->service.reply("GET", kMePath, {200, "{\"uuid\":\"u1\",\"pad\":\"" + padding});
        fixture->service.reply("POST", kLoginPath,
                               {200, "{\"access_token\":\"t\",\"pad\":\"" + padding});
        auto window = fixture->make_window();
        QCOMPARE(window->fetch_me("tok"), QJsonObject());
        QVERIFY(!failed_sign_in(*window).isEmpty());
    }

    // A second sign-in started while the first one waits must neither run nor mix accounts;
    // a sign-out asked for meanwhile is carried out after it.
    void sign_in_is_one_operation() {
        QVERIFY(storage::SessionStore().clear());
        fixture->service.on("POST", kLoginPath, [](const RecordedRequest& request) {
            const QString login = QJsonDocument::fromJson(request.body)["login"].toString();
            return Reply{200,
                         QJsonDocument(QJsonObject{{"access_token", "tok-" + login}}).toJson()};
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
        window->handle_sign_in("Rook", "pw", true);
        QVERIFY(!enabled_meanwhile && nickname_field->isEnabled());
        QCOMPARE(fixture->service.requests_to("POST", kLoginPath).size(), 1);
        QVERIFY(!storage::SessionStore().load());
    }
};

QTEST_MAIN(HostileServiceTest)
#include "test_hostile_service.moc"
