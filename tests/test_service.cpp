// The local service: its cryptography, and how it holds up to guessing, slow clients and junk.
#include <httplib.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "attempt_limiter.h"
#include "game_service.h"
#include "report_store.h"
#include "server_setup.h"
#include "token.h"
#include "totp.h"

using namespace halvark::service;

namespace {

// The service with its demo data on an ephemeral loopback port, as halvark_service runs it.
struct RunningService {
    QTemporaryDir state;
    GameService service{{HALVARK_SOURCE_DIR "/service/data", state.path(), 3600, false, false}};
    httplib::Server server;
    std::thread thread;
    int port = 0;

    RunningService() {
        QVERIFY(service.load());
        configure_server(server);
        server.set_logger([](const httplib::Request&, const httplib::Response&) {});
        service.register_routes(server);
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        while (!server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~RunningService() {
        server.stop();
        thread.join();
    }
    httplib::Result login(const QJsonObject& body) {
        httplib::Client client("127.0.0.1", port);
        return client.Post("/api/v1/launcher/auth/login",
                           QJsonDocument(body).toJson().toStdString(), "application/json");
    }
};

QString detail_code(const httplib::Result& result) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(result->body))["detail"]["code"]
        .toString();
}

}  // namespace

class ServiceTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void totp_codes() {
        // RFC 6238 appendix B, SHA-1 rows.
        for (const auto& [time, code] : {std::pair{qint64(59), "94287082"},
                                         {qint64(1111111109), "07081804"},
                                         {qint64(20000000000), "65353130"}}) {
            QCOMPARE(totp_code("12345678901234567890", time, 8), QString(code));
        }
        const QByteArray secret = base32_decode("JBSWY3DPEHPK3PXP");
        QCOMPARE(secret, QByteArray("Hello!\xDE\xAD\xBE\xEF"));
        const qint64 now = 1700000000;  // one step of drift either side
        QCOMPARE(totp_matching_step(secret, totp_code(secret, now - 30), now), now / 30 - 1);
        QCOMPARE(totp_matching_step(secret, totp_code(secret, now + 30), now), now / 30 + 1);
        QVERIFY(!totp_matching_step(secret, totp_code(secret, now - 90), now));
        QVERIFY(base32_decode("not base32!").isEmpty());
    }

    void tokens_are_checked() {
        const QByteArray key(32, 'k');
        const QString token = sign_token({{"nickname", "Rook"}, {"exp", 2000}}, key);
        QCOMPARE(verify_token(token, key, 1999)->value("nickname").toString(), QString("Rook"));
        QVERIFY(!verify_token(token, key, 2000).has_value());               // expired
        QVERIFY(!verify_token(token, QByteArray(32, 'x'), 1).has_value());  // other key
        QString tampered = token;
        tampered[token.indexOf('.') + 3] = token[token.indexOf('.') + 3] == 'A' ? 'B' : 'A';
        QVERIFY(!verify_token(tampered, key, 1).has_value());
    }

    void attempts_are_limited_in_a_sliding_window() {
        AttemptLimiter limiter(5, 60);
        for (int i = 0; i < 4; ++i) {
            limiter.record_failure("k", 1000 + i);
        }
        QCOMPARE(limiter.retry_after("k", 1010), 0);
        limiter.record_failure("k", 1010);
        QCOMPARE(limiter.retry_after("k", 1010), 50);  // until the first failure is a minute old
        QCOMPARE(limiter.retry_after("other", 1010), 0);
        QCOMPARE(limiter.retry_after("k", 1060), 0);
        limiter.clear("k");
        limiter.record_failure("k", 1061);
        QCOMPARE(limiter.retry_after("k", 1061), 0);
    }

    void guessing_is_answered_with_429() {
        RunningService running;
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(running.login({{"login", "Rook"}, {"password", "wrong"}})->status, 401);
        }
        const auto refused = running.login({{"login", "Rook"}, {"password", "rook-pass"}});
        QCOMPARE(refused->status, 429);
        const int retry_after = std::stoi(refused->get_header_value("Retry-After"));
        QVERIFY(retry_after > 0 && retry_after <= 60);
        QVERIFY(QJsonDocument::fromJson(QByteArray::fromStdString(refused->body))["detail"]
                    .toString()
                    .startsWith("Too many failed sign-in attempts"));
    }

    void a_totp_code_is_accepted_once() {
        RunningService running;
        const QJsonObject warden = running.service.accounts().at(1).toObject();
        const QString code = running.service.current_totp_code(warden);
        const QJsonObject body{
            {"login", "Warden"}, {"password", "warden-pass"}, {"totp_code", code}};
        QCOMPARE(running.login(body)->status, 200);
        const auto replayed = running.login(body);
        QCOMPARE(replayed->status, 401);
        QCOMPARE(detail_code(replayed), QString("totp_invalid"));
    }

    // Slow clients hold a worker each; there are enough for the others.
    void slow_clients_do_not_starve_the_others() {
        RunningService running;
        std::vector<std::unique_ptr<QTcpSocket>> slow;
        for (int i = 0; i < 32; ++i) {
            slow.push_back(std::make_unique<QTcpSocket>());
            slow.back()->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(running.port));
            // The listen backlog is short: a dropped SYN is sent again after a second.
            QVERIFY(slow.back()->waitForConnected(5000));
            slow.back()->write("G");
            QVERIFY(slow.back()->waitForBytesWritten(1000));
        }
        QTest::qWait(200);  // every slow client now holds a connection
        httplib::Client client("127.0.0.1", running.port);
        client.set_read_timeout(1);
        const auto answer = client.Get("/api/v1/news?limit=1");
        QVERIFY(answer);
        QCOMPARE(answer->status, 200);
    }

    void log_lines_show_no_control_characters() {
        QCOMPARE(printable_for_log("/api/v1/news"), QString("/api/v1/news"));
        QCOMPARE(printable_for_log("/x\r\n12:00 GET /fake"),
                 QString("/x\\x0d\\x0a12:00 GET /fake"));
        QCOMPARE(printable_for_log("/\x1b[2J\xc2\x9b\\"), QString("/\\x1b[2J\\xc2\\x9b\\x5c"));
    }

    void oldest_reports_go_first() {
        QTemporaryDir directory;
        const ReportQuota quota{3, 1000, 5, 1500};
        const auto store = [&](const QString& account, int size) {
            static int event = 0;
            QVERIFY(store_report(directory.path(), account, QString::number(++event),
                                 QByteArray(size, ' '), quota));
            QTest::qWait(2);  // distinct times in the names
        };
        for (int i = 0; i < 4; ++i) {
            store("a", 10);  // the fourth pushes out the first
        }
        const auto names = [&](const QString& pattern) {
            return QDir(directory.path()).entryList({pattern}, QDir::Files, QDir::Name);
        };
        QCOMPARE(names("*_a_*").size(), 3);
        QVERIFY(names("*_a_*").first().endsWith("_a_2.json"));
        store("a", 995);  // over the account's bytes: only the newest of "a" stays
        QCOMPARE(names("*_a_*"), QStringList{names("*_a_5.json")});
        for (const char* account : {"b", "b", "c", "c", "d"}) {
            store(account, 100);  // the sixth report overall pushes out the oldest, of "a"
        }
        QCOMPARE(names("*.json").size(), 5);
        QVERIFY(names("*_a_*").isEmpty());
        store("e", 999);
        store("f", 999);  // over the total bytes: everything older goes
        QCOMPARE(names("*.json"), QStringList{names("*_f_*")});
    }
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "test_service.moc"
