// Account requests: what is sent, how answers are read, and the sign-in exchange's dialogs.
#include <QInputDialog>
#include <QLineEdit>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "diagnostics/hwid.h"
#include "ui/screens/auth_screen.h"
#include "ui/token_claims.h"

using namespace halvark;
using namespace halvark::testing;

namespace {

const QByteArray kTotpDemand = R"({"detail":{"code":"totp_required","message":"Your code"}})";

void answer_next_code(const QString& code, bool accept = true) {
    handle_next_modal<QInputDialog>([code, accept](QInputDialog* dialog) {
        dialog->setTextValue(code);
        accept ? dialog->accept() : dialog->reject();
    });
}

}  // namespace

class AccountRequestsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    std::unique_ptr<ui::MainWindow> window;
    QString name, token;
    qint64 expires = 0;

    FakeService& service() { return fixture->service; }
    bool sign_in(const QString& login, const QString& password) {
        return window->perform_login(login, password, name, token, expires);
    }
    qsizetype logins() { return service().requests_to("POST", kLoginPath).size(); }
    QLineEdit* field() {
        return find_widget<ui::screens::AuthScreen>(window.get())->findChild<QLineEdit*>();
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

    void requests_are_sent_as_documented() {
        service().reply("POST", kLoginPath, {200, R"({"access_token":"tok"})"});
        service().reply("GET", kMePath, {401, R"({"uuid":"u1"})"});
        service().reply("POST", kHwidPath, {204, QByteArray()});
        window->login_request("Rook", " pw ", "  123456 ");
        window->login_request("Rook", "pw", "   ");
        QCOMPARE(window->fetch_me("tok"), QJsonObject());  // an error status is no user
        QTest::ignoreMessage(QtInfoMsg, "HWID submitted");
        QVERIFY(window->submit_hwid("  tok  "));
        const auto login = service().requests_to("POST", kLoginPath);
        QCOMPARE(login[0].body, R"({"login":"Rook","password":" pw ","totp_code":"123456"})");
        QCOMPARE(login[1].body, R"({"login":"Rook","password":"pw"})");
        QCOMPARE(login[0].headers.value("content-type"), "application/json");
        QCOMPARE(login[0].headers.value("accept"), "application/json");
        QVERIFY(!login[0].headers.contains("authorization"));
        const RecordedRequest me = service().requests_to("GET", kMePath).first();
        QCOMPARE(me.headers.value("authorization"), "Bearer tok");
        const RecordedRequest hwid = service().requests_to("POST", kHwidPath).first();
        QCOMPARE(hwid.headers.value("authorization"), "Bearer tok");
        QCOMPARE(hwid.body, "{\"hwid\":\"" + diagnostics::current_hwid().toUtf8() + "\"}");
    }

    void answers_are_read_leniently() {
        const auto login = [](bool ok, int status, const char* body) {
            return api::interpret_login_reply(ok, status == 502 ? "net" : "", status, body);
        };
        QCOMPARE(login(true, 200, R"({"access_token":"t","user":{"nickname":"R"}})").nickname, "R");
        QCOMPARE(login(true, 200, R"({"access_token":""})").error_message,
                 "Empty access_token in login response");
        QCOMPARE(login(false, 422, R"({"detail":{"code":"x","message":"Banned"}})").error_message,
                 "Banned");
        QVERIFY(login(false, 401, kTotpDemand).totp_required);
        QCOMPARE(login(false, 502, "<html>").error_message, "net");
        QCOMPARE(login(false, 418, "").error_message, "HTTP 418");
        QCOMPARE(api::user_from_me_body(R"({"user":{"uuid":"u1"},"x":1})"),
                 (QJsonObject{{"uuid", "u1"}}));
        QCOMPARE(
            ui::display_name_from_token(token_with_payload(R"({"name":"N","nickname":"Nick"})")),
            "Nick");
        QCOMPARE(
            ui::display_name_from_token(token_with_payload(R"({"nickname":7,"username":" U "})")),
            "U");
        QCOMPARE(ui::display_name_from_token("opaque-token"), QString());
    }

    void lifetimes_data() {
        QTest::addColumn<QByteArray>("lifetime");
        QTest::addColumn<qint64>("added");  // -1: the far future
        QTest::newRow("fraction") << QByteArray("3600.9") << qint64(3600);
        QTest::newRow("missing") << QByteArray("null") << qint64(1);
        QTest::newRow("text") << QByteArray("\"3600\"") << qint64(1);
        QTest::newRow("2^63") << QByteArray("9223372036854775808") << qint64(-1);
    }
    void lifetimes() {
        QFETCH(QByteArray, lifetime);
        QFETCH(qint64, added);
        service().reply("POST", kLoginPath,
                        {200, R"({"access_token":"t","expires_in":)" + lifetime + '}'});
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        QVERIFY(sign_in("Rook", "   "));  // a password of spaces is a password
        QVERIFY(added < 0 ? expires >= 9'200'000'000'000'000'000
                          : expires >= now + added && expires <= now + added + 1);
    }

    void totp_code_is_asked_for() {
        service().on("POST", kLoginPath, [](const RecordedRequest& request) {
            return request.body.contains("totp_code") ? Reply{200, R"({"access_token":"t2"})"}
                                                      : Reply{401, kTotpDemand};
        });
        answer_next_code("1", false);  // cancelled: nothing more is sent
        QVERIFY(!sign_in("rook", "pw"));
        QCOMPARE(logins(), 1);
        answer_next_code("  654321 ");
        QVERIFY(sign_in("rook", "pw"));
        QCOMPARE(token, QString("t2"));
        QCOMPARE(service().requests_to("POST", kLoginPath).at(2).body,
                 R"({"login":"rook","password":"pw","totp_code":"654321"})");
        QVERIFY(field()->isEnabled());
    }
};

QTEST_MAIN(AccountRequestsTest)
#include "test_account_requests.moc"
