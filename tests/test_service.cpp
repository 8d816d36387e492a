// The local service: its TOTP codes, sign-in guards, connection gate, request log and
// report quotas.
#include <httplib.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "derivation_pool.h"
#include "game_service.h"
#include "loopback_client.h"
#include "nickname.h"
#include "password.h"
#include "report_store.h"
#include "request_gate.h"
#include "server_setup.h"
#include "sign_in_guard.h"
#include "totp.h"

using namespace halvark::service;

namespace {

// The demo accounts with cheap password records, so that rows can sign in often.
QString cheap_data(const QTemporaryDir& directory) {
    for (const char* name : {"news.json", "server_profiles.json"}) {
        QFile::copy(QString(HALVARK_SOURCE_DIR "/service/data/") + name, directory.filePath(name));
    }
    QFile source(HALVARK_SOURCE_DIR "/service/data/accounts.json");
    source.open(QIODevice::ReadOnly);
    QJsonArray accounts = QJsonDocument::fromJson(source.readAll()).array();
    for (auto&& value : accounts) {
        QJsonObject account = value.toObject();
        account["password"] =
            hash_password(account["nickname"].toString().toLower() + "-pass", 100);
        value = account;
    }
    QFile target(directory.filePath("accounts.json"));
    target.open(QIODevice::WriteOnly);
    target.write(QJsonDocument(accounts).toJson());
    return directory.path();
}

// The service on an ephemeral loopback port behind its gate, as halvark_service runs it.
struct RunningService {
    QTemporaryDir data;
    QTemporaryDir state;
    GameService service;
    RequestGate server;
    std::thread thread;
    int port = 0;

    explicit RunningService(GateLimits limits = {}, int derivation_slots = 2)
        : service(ServiceOptions{cheap_data(data),
                                 state.path(),
                                 3600,
                                 false,
                                 false,
                                 {992, 340},
                                 "PNG",
                                 {},
                                 derivation_slots}),
          server(limits) {
        QVERIFY(service.load());
        service.register_routes(server.routes());
        port = server.bind("127.0.0.1", 0);
        thread = std::thread([this] { server.run(); });
        while (!server.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~RunningService() {
        server.stop();
        thread.join();
    }
    int login(const QJsonObject& body, const std::string& from = "127.0.0.1") const {
        return exchange(from, port, login_request(body));
    }
    static std::string login_request(const QJsonObject& body) {
        return http_request("POST", "/api/v1/launcher/auth/login",
                            QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString());
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
        QCOMPARE(running.login(body), 200);
        QCOMPARE(running.login(body), 401);  // the same code again
        for (int i = 0; i < 4; ++i) {        // with the replay, five failures from this client
            QCOMPARE(running.login({{"login", "Rook"}, {"password", "wrong"}}), 401);
        }
        httplib::Client client("127.0.0.1", running.port);
        client.set_read_timeout(std::chrono::minutes(2));
        const auto refused =
            client.Post("/api/v1/launcher/auth/login", R"({"login":"Rook","password":"rook-pass"})",
                        "application/json");
        QCOMPARE(refused->status, 429);
        QVERIFY(std::stoi(refused->get_header_value("Retry-After")) > 0);
        QCOMPARE(running.login({{"login", "Rook"}, {"password", "rook-pass"}}, "127.0.0.2"), 200);
    }

    // Failures count per client and per nickname, known or not; the owner's own address is
    // never locked out by others, and the tables forget what aged out.
    void guards_against_guessing_from_many_addresses() {
        const qint64 t = 1000;
        SignInGuard guard;
        guard.record_success(guard.reserve("Rook", "10.0.0.1", t));
        QVERIFY(guard.is_owner("ROOK", "10.0.0.1"));
        for (int i = 0; i < 30; ++i) {
            guard.reserve("rook", QString("192.0.2.%1").arg(i), t);
            guard.reserve("Nobody", QString("198.51.100.%1").arg(i), t);
        }
        QCOMPARE(guard.reserve("Rook", "10.0.0.1", t).retry_after, 0);
        QVERIFY(guard.reserve("rook", "203.0.113.1", t).retry_after > 0);
        QCOMPARE(guard.reserve("nobody", "203.0.113.1", t).retry_after,
                 guard.reserve("rook", "203.0.113.1", t).retry_after);  // no tell of which exists
        QVERIFY(guard.reserve("Roo\u212a", "203.0.113.2", t).retry_after > 0);  // Kelvin sign
        for (int i = 1; i <= SignInGuard::kClientFailures; ++i) {
            guard.reserve(QString("n%1").arg(i), QString("2001:db8::%1").arg(i), t);
        }
        QVERIFY(guard.reserve("other", "2001:db8::ffff", t).retry_after > 0);  // one /64
        const SignInGuard::Attempt elsewhere = guard.reserve("other", "2001:db8:0:1::1", t);
        QCOMPARE(elsewhere.retry_after, 0);
        for (int i = 0; i < 10; ++i) {  // attempts taken back never add up
            guard.release(guard.reserve("other", "2001:db8:0:1::1", t));
        }
        QCOMPARE(guard.reserve("other", "2001:db8:0:1::1", t).retry_after, 0);
        AttemptLimiter limiter(5, 60);
        for (int i = 0; i < 20000; ++i) {
            limiter.record_failure(QString::number(i), t);
        }
        limiter.record_failure("late", t + 61);
        QCOMPARE(limiter.size(), 1);
    }

    void one_form_of_a_nickname_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("same_as");
        QTest::addColumn<bool>("same");
        QTest::newRow("case") << "SASHA"
                              << "sasha" << true;
        QTest::newRow("long s") << "Sa\u017fha"
                                << "Sasha" << true;
        QTest::newRow("Kelvin sign") << "Roo\u212a"
                                     << "rook" << true;
        QTest::newRow("full width") << "\uff32ook"
                                    << "Rook" << true;
        QTest::newRow("spaces around") << " Rook "
                                       << "rook" << true;
        QTest::newRow("other name") << "Rook2"
                                    << "Rook" << false;
    }
    // The lookup and the counters key on the same form: no spelling gets a fresh count.
    void one_form_of_a_nickname() {
        QFETCH(QString, given);
        QFETCH(QString, same_as);
        QFETCH(bool, same);
        QCOMPARE(canonical_nickname(given) == canonical_nickname(same_as), same);
    }

    // Simultaneous attempts: the count is taken before the derivation, so none slips past.
    void a_burst_never_passes_the_limit_data() {
        QTest::addColumn<int>("addresses");
        QTest::addColumn<int>("limit");
        QTest::newRow("one address") << 1 << SignInGuard::kClientFailures;
        QTest::newRow("forty addresses") << 40 << SignInGuard::kNicknameFailures;
    }
    void a_burst_never_passes_the_limit() {
        QFETCH(int, addresses);
        QFETCH(int, limit);
        GateLimits limits;
        limits.max_connections_per_client = 64;
        RunningService running(limits, 64);
        const std::string request =
            RunningService::login_request({{"login", "Rook"}, {"password", "wrong"}});
        std::vector<std::unique_ptr<LoopbackClient>> clients;
        for (int i = 0; i < 40; ++i) {
            const std::string source = "127.0.3." + std::to_string(1 + i % addresses);
            clients.push_back(std::make_unique<LoopbackClient>(source, running.port));
            QVERIFY(clients.back()->send(request.substr(0, request.size() - 1)));
        }
        for (auto& client : clients) {  // all complete at once
            QVERIFY(client->send(request.substr(request.size() - 1)));
        }
        int checked = 0;
        for (auto& client : clients) {
            const int status = client->read_status(std::chrono::seconds(60));
            QVERIFY2(status == 401 || status == 429, qPrintable(QString::number(status)));
            checked += status == 401 ? 1 : 0;
        }
        QVERIFY2(checked >= 1 && checked <= limit, qPrintable(QString::number(checked)));
    }

    // Derivations as a resource: others are refused at once when no slot is free; an owner
    // waits for one and is served before any other caller.
    void derivations_are_pooled_and_owners_go_first() {
        DerivationPool pool(2, std::chrono::seconds(60));
        auto first = pool.acquire(DerivationPool::Caller::Other);
        auto second =
            std::make_unique<DerivationPool::Slot>(pool.acquire(DerivationPool::Caller::Other));
        QVERIFY(first && *second);
        QVERIFY(!pool.acquire(DerivationPool::Caller::Other));
        std::optional<DerivationPool::Slot> owner_slot;
        std::thread owner([&] { owner_slot.emplace(pool.acquire(DerivationPool::Caller::Owner)); });
        while (pool.owners_waiting() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        second.reset();  // a slot comes free while the owner waits: it is the owner's
        const bool other_served = bool(pool.acquire(DerivationPool::Caller::Other));
        owner.join();
        QVERIFY(!other_served && owner_slot && *owner_slot);
        owner_slot.reset();
        QVERIFY(pool.acquire(DerivationPool::Caller::Other));  // the owner's slot came back

        RunningService running({}, 1);  // over HTTP: a busy pool answers 429, counting nothing
        QCOMPARE(running.login({{"login", "Rook"}, {"password", "rook-pass"}}), 200);
    }

    // Clients that trickle hold no worker: the news is answered meanwhile, each trickler is
    // cut off at its deadline, and one address may hold only a few connections.
    void slow_clients_hold_no_worker() {
        GateLimits limits;
        limits.workers = 2;
        limits.max_connections_per_client = 3;
        limits.request_deadline = std::chrono::milliseconds(300);
        RunningService running(limits);
        std::vector<std::unique_ptr<LoopbackClient>> slow;
        for (int i = 0; i < 10; ++i) {
            slow.push_back(
                std::make_unique<LoopbackClient>("127.0.4." + std::to_string(i + 1), running.port));
            QVERIFY(slow.back()->send("GET /api/v1/news HTTP/1.1\r\n"));
        }
        QCOMPARE(exchange("127.0.0.1", running.port, http_request("GET", "/api/v1/news")), 200);
        std::vector<bool> cut(slow.size(), false);
        for (int round = 0; round < 400 && std::count(cut.begin(), cut.end(), false) > 0; ++round) {
            for (size_t i = 0; i < slow.size(); ++i) {
                cut[i] = cut[i] || !slow[i]->send("X-Slow: 1\r\n") ||
                         slow[i]->closed_by_service(std::chrono::milliseconds(0));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        }
        QCOMPARE(std::count(cut.begin(), cut.end(), true), qsizetype(slow.size()));

        std::vector<std::unique_ptr<LoopbackClient>> crowd;
        for (int i = 0; i < 3; ++i) {
            crowd.push_back(std::make_unique<LoopbackClient>("127.0.5.1", running.port));
            QVERIFY(crowd.back()->send("G"));
        }
        QCOMPARE(exchange("127.0.5.1", running.port, http_request("GET", "/api/v1/news")), 429);
        QCOMPARE(exchange("127.0.5.2", running.port, http_request("GET", "/api/v1/news")), 200);
    }

    // An over-long nickname is refused before anything is counted or derived.
    void long_nicknames_count_nothing() {
        RunningService running;
        for (int i = 0; i < 10; ++i) {
            QCOMPARE(running.login(
                         {{"login", QString(kMaxNicknameLength + 1, 'r')}, {"password", "wrong"}}),
                     422);
        }
        QCOMPARE(running.login({{"login", "Rook"}, {"password", "rook-pass"}}), 200);
        QCOMPARE(running.login({{"login", "Sa\u017fha"}, {"password", "rook-pass"}}), 401);
        QCOMPARE(running.login({{"login", "Roo\u212a"}, {"password", "rook-pass"}}), 200);
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
