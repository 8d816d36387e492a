#include <QDateTime>
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QThread>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "diagnostics/hwid.h"
#include "storage/session_store.h"
#include "ui/screens/auth_screen.h"
#include "ui/token_claims.h"

using namespace halvark;
using namespace halvark::testing;

namespace {

void answer_next_code(const QString& code, bool accept = true) {
    handle_next_modal<QInputDialog>([code, accept](QInputDialog* dialog) {
        dialog->setTextValue(code);
        accept ? dialog->accept() : dialog->reject();
    });
}

const QByteArray kTotpDemand = R"({"detail":{"code":"totp_required","message":"Enter your code"}})";

}  // namespace

class AccountRequestsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    std::unique_ptr<ui::MainWindow> window;

    FakeService& service() { return fixture->service; }
    // The launch screen's own requests (news, server profiles) are not counted.
    qsizetype account_requests() {
        return service().requests_to("POST", kLoginPath).size() +
               service().requests_to("GET", kMePath).size() +
               service().requests_to("POST", kHwidPath).size();
    }

  private Q_SLOTS:
    void init() {
        fixture = std::make_unique<AccountFixture>();
        window = fixture->make_window();
        app::Translator::instance().set_language("en");
    }
    void cleanup() {
        window.reset();
        fixture.reset();
    }

    void login_request_is_sent_as_documented() {
        service().reply("POST", kLoginPath, {200, R"({"access_token":"tok","expires_in":60})"});
        window->login_request("Rook", " pw ", "  123456 ");
        const auto requests = service().requests_to("POST", kLoginPath);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].body,
                 QByteArray(R"({"login":"Rook","password":" pw ","totp_code":"123456"})"));
        QCOMPARE(requests[0].headers.value("content-type"), QString("application/json"));
        QCOMPARE(requests[0].headers.value("accept"), QString("application/json"));
        QVERIFY(!requests[0].headers.contains("authorization"));

        window->login_request("Rook", "pw", "   ");
        QCOMPARE(service().requests_to("POST", kLoginPath).at(1).body,
                 QByteArray(R"({"login":"Rook","password":"pw"})"));
    }

    void login_outcomes_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("content_type");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<bool>("totp");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("nickname");
        const QString json = "application/json";
        QTest::newRow("success with user")
            << 200
            << QByteArray(R"({"access_token":"t","expires_in":5,"user":{"nickname":" Rook "}})")
            << json << true << false << QString() << " Rook ";
        QTest::newRow("success, user not an object")
            << 200 << QByteArray(R"({"access_token":"t","user":"Rook"})") << json << true << false
            << QString() << QString();
        QTest::newRow("empty token, no message")
            << 200 << QByteArray(R"({"access_token":""})") << json << false << false
            << "Empty access_token in login response" << QString();
        QTest::newRow("empty token with message")
            << 200 << QByteArray(R"({"message":"Try later"})") << json << false << false
            << "Try later" << QString();
        QTest::newRow("detail text") << 401 << QByteArray(R"({"detail":"Wrong password"})") << json
                                     << false << false << "Wrong password" << QString();
        QTest::newRow("detail object")
            << 422 << QByteArray(R"({"detail":{"code":"banned","message":"Banned"}})") << json
            << false << false << "Banned" << QString();
        QTest::newRow("totp demand")
            << 401 << kTotpDemand << json << false << true << "Enter your code" << QString();
        QTest::newRow("totp demand without message")
            << 401 << QByteArray(R"({"detail":{"code":"totp_required"}})") << json << false << true
            << QString() << QString();
        QTest::newRow("code in other case")
            << 401 << QByteArray(R"({"detail":{"code":"TOTP_REQUIRED","message":"Code"}})") << json
            << false << false << "Code" << QString();
        QTest::newRow("top-level message")
            << 400 << QByteArray(R"({"detail":[1],"message":"Bad input"})") << json << false
            << false << "Bad input" << QString();
    }
    void login_outcomes() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, content_type);
        service().reply("POST", kLoginPath, {status, body, content_type});
        const ui::LoginResult result = window->login_request("Rook", "pw", "");
        QTEST(result.ok, "ok");
        QTEST(result.totp_required, "totp");
        QTEST(result.error_message, "error");
        QTEST(result.nickname, "nickname");
    }

    void error_without_server_message_uses_the_network_text() {
        service().reply("POST", kLoginPath,
                        {502, "<html><body>Bad gateway</body></html>", "text/html"});
        const ui::LoginResult html = window->login_request("Rook", "pw", "");
        QVERIFY(!html.error_message.isEmpty());
        QVERIFY(html.error_message != "HTTP 502");

        service().reply("POST", kLoginPath, {401, R"({"detail":[]})"});
        QVERIFY(!window->login_request("Rook", "pw", "").error_message.isEmpty());
    }

    void empty_fields_warn_without_request_data() {
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("password");
        QTest::newRow("blank nickname") << "   "
                                        << "pw";
        QTest::newRow("empty password") << "Rook"
                                        << "";
    }
    void empty_fields_warn_without_request() {
        QFETCH(QString, login);
        QFETCH(QString, password);
        QString shown;
        capture_next_message(&shown);
        QString name, token;
        qint64 expires = 0;
        QVERIFY(!window->perform_login(login, password, name, token, expires));
        QCOMPARE(shown, app::tr("auth.error_empty_fields"));
        QCOMPARE(account_requests(), 0);
        QVERIFY(token.isEmpty());
    }

    void password_of_spaces_is_sent() {
        service().reply("POST", kLoginPath, {200, R"({"access_token":"t","expires_in":3600.9})"});
        QString name, token;
        qint64 expires = 0;
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(window->perform_login("Rook", "   ", name, token, expires));
        QCOMPARE(name, QString("Rook"));
        QCOMPARE(token, QString("t"));
        QVERIFY(expires >= before + 3600 && expires <= QDateTime::currentSecsSinceEpoch() + 3600);
    }

    void short_lifetime_counts_as_one_second_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("missing") << QByteArray(R"({"access_token":"t"})");
        QTest::newRow("zero") << QByteArray(R"({"access_token":"t","expires_in":0})");
        QTest::newRow("negative") << QByteArray(R"({"access_token":"t","expires_in":-40})");
        QTest::newRow("text") << QByteArray(R"({"access_token":"t","expires_in":"3600"})");
    }
    void short_lifetime_counts_as_one_second() {
        QFETCH(QByteArray, body);
        service().reply("POST", kLoginPath, {200, body});
        QString name, token;
        qint64 expires = 0;
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        QVERIFY(window->perform_login("Rook", "pw", name, token, expires));
        QVERIFY(expires >= before + 1 && expires <= QDateTime::currentSecsSinceEpoch() + 1);
    }

    void huge_lifetime_means_the_far_future_data() {
        QTest::addColumn<QByteArray>("lifetime");
        QTest::newRow("9.2e18") << QByteArray("9.2e18");
        QTest::newRow("2^63") << QByteArray("9223372036854775808");
        QTest::newRow("1e300") << QByteArray("1e300");
    }
    void huge_lifetime_means_the_far_future() {
        QFETCH(QByteArray, lifetime);
        service().reply("POST", kLoginPath,
                        {200, R"({"access_token":"t","expires_in":)" + lifetime + '}'});
        window->handle_sign_in("Rook", "pw", true);
        QVERIFY(storage::SessionStore().load()->expires_at_unix >= 9'200'000'000'000'000'000);
    }

    void form_is_disabled_during_the_exchange() {
        service().on("POST", kLoginPath, [](const RecordedRequest&) {
            QThread::msleep(300);
            return Reply{200, R"({"access_token":"t","user":{"nickname":"   "}})"};
        });
        auto* nickname_field =
            find_widget<ui::screens::AuthScreen>(window.get())->findChild<QLineEdit*>();
        bool enabled_meanwhile = true;
        QTimer::singleShot(100, [&] { enabled_meanwhile = nickname_field->isEnabled(); });
        QString name, token;
        qint64 expires = 0;
        QVERIFY(window->perform_login("Rook", "pw", name, token, expires));
        QVERIFY(!enabled_meanwhile);
        QVERIFY(nickname_field->isEnabled());
        QCOMPARE(name, QString("Rook"));  // a blank nickname falls back to the login
    }

    void totp_code_is_asked_for_once() {
        service().on("POST", kLoginPath, [](const RecordedRequest& request) {
            return request.body.contains("totp_code")
                       ? Reply{200, R"({"access_token":"t2","user":{"nickname":"Rook"}})"}
                       : Reply{401, kTotpDemand};
        });
        answer_next_code("  654321 ");
        QString name, token;
        qint64 expires = 0;
        QVERIFY(window->perform_login("rook", "pw", name, token, expires));
        QCOMPARE(token, QString("t2"));
        QCOMPARE(name, QString("Rook"));
        const auto requests = service().requests_to("POST", kLoginPath);
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[1].body,
                 QByteArray(R"({"login":"rook","password":"pw","totp_code":"654321"})"));
    }

    void totp_dialog_left_without_code_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("accept");
        QTest::newRow("cancelled") << "123456" << false;
        QTest::newRow("blank") << "   " << true;
    }
    void totp_dialog_left_without_code() {
        QFETCH(QString, code);
        QFETCH(bool, accept);
        service().reply("POST", kLoginPath, {401, kTotpDemand});
        answer_next_code(code, accept);
        QString name, token;
        qint64 expires = 0;
        QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
        QCOMPARE(account_requests(), 1);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QVERIFY(find_widget<ui::screens::AuthScreen>(window.get())
                    ->findChild<QLineEdit*>()
                    ->isEnabled());
    }

    void second_totp_demand_is_a_failure() {
        service().reply("POST", kLoginPath, {401, R"({"detail":{"code":"totp_required"}})"});
        answer_next_code("111111");
        QString shown;
        capture_next_message(&shown);
        QString name, token;
        qint64 expires = 0;
        QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
        QCOMPARE(shown, app::tr("auth.error_login_failed"));
        QCOMPARE(account_requests(), 2);
    }

    void current_user_answers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("wrapped") << 200 << QByteArray(R"({"user":{"uuid":"u1"},"extra":1})")
                                 << QByteArray(R"({"uuid":"u1"})");
        QTest::newRow("bare") << 200 << QByteArray(R"({"uuid":"u1"})")
                              << QByteArray(R"({"uuid":"u1"})");
        QTest::newRow("user is text") << 200 << QByteArray(R"({"user":"x","uuid":"u1"})")
                                      << QByteArray(R"({"user":"x","uuid":"u1"})");
        QTest::newRow("array") << 200 << QByteArray("[1,2]") << QByteArray("{}");
        QTest::newRow("not json") << 200 << QByteArray("<html>") << QByteArray("{}");
        QTest::newRow("401 with object")
            << 401 << QByteArray(R"({"uuid":"u1"})") << QByteArray("{}");
    }
    void current_user_answers() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, expected);
        service().reply("GET", kMePath, {status, body});
        QCOMPARE(window->fetch_me("tok"), QJsonDocument::fromJson(expected).object());
        const auto requests = service().requests_to("GET", kMePath);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].headers.value("authorization"), QString("Bearer tok"));
        QCOMPARE(requests[0].headers.value("accept"), QString("application/json"));
        QVERIFY(!requests[0].headers.contains("content-type"));
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);  // the busy cursor is gone
    }

    void blank_token_makes_no_request() {
        QCOMPARE(window->fetch_me("   "), QJsonObject());
        QVERIFY(!window->submit_hwid("  "));
        QCOMPARE(account_requests(), 0);
    }

    void hardware_id_is_submitted_with_trimmed_bearer() {
        service().reply("POST", kHwidPath, {204, QByteArray()});
        QTest::ignoreMessage(QtInfoMsg, "HWID submitted");
        QVERIFY(window->submit_hwid("  tok  "));
        const auto requests = service().requests_to("POST", kHwidPath);
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests[0].headers.value("authorization"), QString("Bearer tok"));
        QCOMPARE(requests[0].headers.value("content-type"), QString("application/json"));
        QCOMPARE(requests[0].body, "{\"hwid\":\"" + diagnostics::current_hwid().toUtf8() + "\"}");
    }

    void refused_hardware_id_is_logged() {
        service().reply("POST", kHwidPath, {409, R"({"detail":"already bound"})"});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HWID submit failed: 409 \\S.*$"));
        QVERIFY(!window->submit_hwid("tok"));
    }

    void hardware_id_without_endpoint() {
        qputenv("HALVARK_LAUNCHER_HWID_URL", "  ");
        window = fixture->make_window();
        QVERIFY(!window->submit_hwid("tok"));
        QCOMPARE(service().requests_to("POST", kHwidPath).size(), 0);
    }

    void token_claims_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("name");
        QTest::newRow("nickname first")
            << token_with_payload(R"({"name":"N","nickname":"Nick"})") << "Nick";
        QTest::newRow("empty nickname skipped")
            << token_with_payload(R"({"nickname":"","username":"User"})") << "User";
        QTest::newRow("number skipped")
            << token_with_payload(R"({"nickname":7,"name":"Named"})") << "Named";
        QTest::newRow("preferred trimmed, two parts")
            << "h." + token_with_payload(R"({"preferred_username":"  Pref  "})").section('.', 1, 1)
            << "Pref";
        QTest::newRow("padded payload")
            << "h." + QString::fromLatin1(QByteArray(R"({"username":"Pad"})").toBase64()) << "Pad";
        QTest::newRow("url alphabet")
            << token_with_payload(R"({"name":"ÿÿ>>??"})") << QString::fromUtf8("ÿÿ>>??");
        QTest::newRow("no dots") << "opaque-token" << QString();
        QTest::newRow("payload not json") << "a.bm90IGpzb24.c" << QString();
    }
    void token_claims() {
        QFETCH(QString, token);
        QTEST(ui::display_name_from_token(token), "name");
    }
};

QTEST_MAIN(AccountRequestsTest)
#include "test_account_requests.moc"
