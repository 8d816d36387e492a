// A service that answers every launcher request with something hostile: the launcher
// stays alive and responsive, within its time-outs, and loses no stored file.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include "account_fixture.h"
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
