// The local service: its TOTP codes, sign-in guards, request log and report quotas.
#include <httplib.h>

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "game_service.h"
#include "password.h"
#include "report_store.h"
#include "server_setup.h"
#include "sign_in_guard.h"
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

}  // namespace

class ServiceTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // Over HTTP, as the launcher meets them: a code works once, and guessing is cut short.
    void sign_in_is_guarded() {
        QCOMPARE(totp_code("12345678901234567890", 59, 8), QString("94287082"));  // RFC 6238
        RunningService running;
        const QJsonObject warden = running.service.accounts().at(1).toObject();
        const QJsonObject body{{"login", "Warden"},
                               {"password", "warden-pass"},
                               {"totp_code", running.service.current_totp_code(warden)}};
        QCOMPARE(running.login(body)->status, 200);
        QCOMPARE(running.login(body)->status, 401);  // the same code again
        for (int i = 0; i < 4; ++i) {  // with the replay, five failures from this client
            QCOMPARE(running.login({{"login", "Rook"}, {"password", "wrong"}})->status, 401);
        }
        const auto refused = running.login({{"login", "Rook"}, {"password", "rook-pass"}});
        QCOMPARE(refused->status, 429);
        QVERIFY(std::stoi(refused->get_header_value("Retry-After")) > 0);
    }

    // Failures count per client and per nickname, known or not; the owner's own address is
    // never locked out by others, and the tables forget what aged out.
    void guards_against_guessing_from_many_addresses() {
        const qint64 t = 1000;
        SignInGuard guard;
        guard.record_success("Rook", "10.0.0.1");
        for (int i = 0; i < 30; ++i) {
            guard.record_failure("rook", QString("192.0.2.%1").arg(i), t);
            guard.record_failure("Nobody", QString("198.51.100.%1").arg(i), t);
        }
        QCOMPARE(guard.retry_after("Rook", "10.0.0.1", t), 0);
        QVERIFY(guard.retry_after("rook", "203.0.113.1", t) > 0);
        QCOMPARE(guard.retry_after("nobody", "203.0.113.1", t),
                 guard.retry_after("rook", "203.0.113.1", t));  // no tell of which exists
        for (int i = 1; i <= SignInGuard::kClientFailures; ++i) {
            guard.record_failure(QString("n%1").arg(i), QString("2001:db8::%1").arg(i), t);
        }
        QVERIFY(guard.retry_after("other", "2001:db8::ffff", t) > 0);  // one /64, one client
        QCOMPARE(guard.retry_after("other", "2001:db8:0:1::1", t), 0);
        AttemptLimiter limiter(5, 60);
        for (int i = 0; i < 20000; ++i) {
            limiter.record_failure(QString::number(i), t);
        }
        limiter.record_failure("late", t + 61);
        QCOMPARE(limiter.size(), 1);
    }

    void passwords_are_slow_salted_hashes() {
        const QString stored = hash_password("pw", 1000);
        QVERIFY(stored.startsWith("pbkdf2_sha256$1000$") && stored != hash_password("pw", 1000));
        QVERIFY(verify_password(stored, "pw") && !verify_password(stored, "pW"));
        QVERIFY(!verify_password("e3d0615848ba6157b95a6efc761a8b956510b683917f6349957646bddd900b65",
                                 "rook-pass"));
    }

    void log_lines_show_no_control_characters() {
        QCOMPARE(printable_for_log("/api/v1/news"), QString("/api/v1/news"));
        QCOMPARE(printable_for_log("/x\r\n12:00 GET /fake"),
                 QString("/x\\x0d\\x0a12:00 GET /fake"));
        QCOMPARE(printable_for_log("/\x1b[2J\xc2\x9b\\"), QString("/\\x1b[2J\\xc2\\x9b\\x5c"));
    }

    void oldest_reports_go_first() {
        QTemporaryDir directory;
        const auto store = [&](const QString& account, int size) {
            static int event = 0;
            QVERIFY(store_report(directory.path(), account, QString::number(++event),
                                 QByteArray(size, ' '), ReportQuota{3, 1000, 5, 1500}));
            QTest::qWait(2);  // distinct times in the names
        };
        const auto names = [&] {
            return QDir(directory.path()).entryList(QDir::Files, QDir::Name);
        };
        for (const char* account : {"a", "a", "a", "a", "b"}) {
            store(account, 10);  // the fourth of "a" pushes out its first
        }
        QVERIFY(names().size() == 4 && names().first().endsWith("_a_2.json"));
        store("b", 995);  // over the account's bytes: only the newest of "b" stays
        store("c", 10);
        QCOMPARE(names().size(), 5);
        store("d", 999);  // over the total bytes: the oldest go until it fits
        QVERIFY(names().size() == 2 && names().last().endsWith("_d_8.json"));
    }
};

QTEST_GUILESS_MAIN(ServiceTest)
#include "test_service.moc"
