#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QUuid>
#include <QtTest>

#include "diagnostics/crash_report.h"
#include "diagnostics/crash_reporter.h"
#include "diagnostics/session_log.h"
#include "fake_service.h"
#include "test_support.h"

using namespace halvark::diagnostics;
using halvark::testing::FakeService;
using halvark::testing::Reply;

namespace {

const QString kReportPath = QStringLiteral("/api/v1/launcher/crash-report");

QJsonObject body_of(const halvark::testing::RecordedRequest& request) {
    return QJsonDocument::fromJson(request.body).object();
}

}  // namespace

class CrashReporterTest : public QObject {
    Q_OBJECT

    halvark::testing::ScopedEnvironment environment;
    std::unique_ptr<FakeService> service;
    CrashReporter& reporter = CrashReporter::instance();

    void configure(const QString& endpoint) {
        reporter.init({endpoint, "production", "halvark-launcher@9.9.9"});
    }

  private Q_SLOTS:
    void initTestCase() {
        QCoreApplication::setApplicationVersion("9.9.9");
        start_session_log();
    }
    void init() {
        service = std::make_unique<FakeService>();
        service->reply("POST", kReportPath, Reply{204, QByteArray()});
        configure(service->url(kReportPath));
        reporter.clear_user();
    }
    void cleanup() { service.reset(); }

    void recent_events_keep_the_newest_200() {
        for (int i = 0; i < 250; ++i) {
            qInfo("event %d", i);
        }
        const QStringList events = reporter.recent_events();
        QCOMPARE(events.size(), 200);
        QVERIFY(events.first().endsWith("[info] event 50"));
        QVERIFY(events.last().endsWith("[info] event 249"));
        QVERIFY(events.last().contains(
            QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z )")));
    }

    void warning_is_recorded_and_logged_not_sent() {
        reporter.set_user("token", {});
        qWarning("Disk almost full");
        QVERIFY(reporter.recent_events().last().endsWith("[warning] Disk almost full"));
        QVERIFY(collect_log_text(1).contains("[warning] Disk almost full\n"));
        QTest::qWait(50);
        QCOMPARE(service->requests().size(), 0);
    }

    void critical_is_reported_for_a_signed_in_account() {
        const QJsonObject user{{"uuid", "u-1"}, {"nickname", "Rook"}, {"secret_extra", 7}};
        reporter.set_user("  token-1  ", user);
        qCritical("Renderer lost");
        const QStringList events = reporter.recent_events();
        QVERIFY(events.at(events.size() - 2).endsWith("[error] Renderer lost"));
        QVERIFY(events.last().endsWith("capture_message: Renderer lost"));
        QCOMPARE(service->requests().size(), 0);  // sent from the event loop, not the handler

        QTRY_COMPARE(service->requests_to("POST", kReportPath).size(), 1);
        const auto requests = service->requests_to("POST", kReportPath);
        const auto& request = requests.first();
        QCOMPARE(request.headers.value("authorization"), QString("Bearer token-1"));
        QCOMPARE(request.headers.value("content-type"), QString("application/json"));
        QCOMPARE(request.headers.value("accept"), QString("application/json"));
        QCOMPARE(request.headers.value("x-launcher-version"), QString("9.9.9"));
        QVERIFY(!request.body.contains('\n'));

        const QJsonObject payload = body_of(request);
        QCOMPARE(payload.value("type").toString(), QString("error"));
        QCOMPARE(payload.value("level").toString(), QString("error"));
        QCOMPARE(payload.value("message").toString(), QString("Renderer lost"));
        QCOMPARE(payload.value("exception_type").toString(), QString());
        QCOMPARE(payload.value("stacktrace").toString(), QString());
        QCOMPARE(payload.value("fatal").toBool(true), false);
        const QString event_id = payload.value("event_id").toString();
        QVERIFY(QUuid::fromString(event_id) != QUuid() && event_id.size() == 36 &&
                event_id == event_id.toLower());
        QCOMPARE(request.headers.value("x-request-id"), event_id);
        QCOMPARE(payload.value("session").toObject().value("session_id").toString(), event_id);
        QCOMPARE(payload.value("session").toObject().value("user_uuid").toString(), QString("u-1"));
        QCOMPARE(payload.value("user").toObject(), user);
        const QJsonObject app = payload.value("app").toObject();
        QCOMPARE(app.value("name").toString(), QString("Halvark Launcher"));
        QCOMPARE(app.value("version").toString(), QString("9.9.9"));
        QCOMPARE(app.value("release").toString(), QString("halvark-launcher@9.9.9"));
        QCOMPARE(app.value("environment").toString(), QString("production"));
        for (const char* key : {"os", "kernel", "cpu_arch", "machine_id", "hostname"}) {
            QVERIFY2(payload.value("system").toObject().value(key).isString(), key);
        }
        QVERIFY(payload.value("timestamp_utc").toString().endsWith('Z'));

        const QJsonArray logs = payload.value("logs").toArray();
        const int events_sent =
            static_cast<int>(std::min<qsizetype>(reporter.recent_events().size(), 200));
        QVERIFY(logs.at(events_sent - 1).toString().endsWith("capture_message: Renderer lost"));
        QVERIFY(logs.at(events_sent).toString().startsWith("===== "));
    }

    void second_report_gets_a_new_event_id() {
        reporter.set_user("token", {});
        QVERIFY(reporter.forced_report("one"));
        QVERIFY(reporter.forced_report("two"));
        const auto requests = service->requests_to("POST", kReportPath);
        QCOMPARE(requests.size(), 2);
        QVERIFY(body_of(requests[0]).value("event_id") != body_of(requests[1]).value("event_id"));
        const QJsonObject forced = body_of(requests[1]);
        QCOMPARE(forced.value("level").toString(), QString("warning"));
        QCOMPARE(forced.value("exception_type").toString(), QString("forced_report"));
        QCOMPARE(forced.value("stacktrace").toString(), QString("two"));
        QCOMPARE(forced.value("session").toObject().value("user_uuid").toString(), QString());
    }

    void nothing_is_sent_without_account_or_endpoint_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("signed out") << QString() << QString("service");
        QTest::newRow("token of spaces") << QString("   ") << QString("service");
        QTest::newRow("empty endpoint") << QString("token") << QString();
        QTest::newRow("endpoint of spaces") << QString("token") << QString("   ");
    }
    void nothing_is_sent_without_account_or_endpoint() {
        QFETCH(QString, token);
        QFETCH(QString, endpoint);
        configure(endpoint == "service" ? service->url(kReportPath) : endpoint);
        reporter.set_user(token, {});
        qCritical("Lost without account");
        QVERIFY(!reporter.forced_report("nobody"));
        QVERIFY(reporter.recent_events().last().endsWith("forced_report: nobody"));
        QCOMPARE(service->requests().size(), 0);
    }

    void answer_status_decides_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("200") << 200 << true;
        QTest::newRow("204") << 204 << true;
        QTest::newRow("400") << 400 << false;
        QTest::newRow("500") << 500 << false;
    }
    void answer_status_decides() {
        QFETCH(int, status);
        service->reply("POST", kReportPath, Reply{status, "{}"});
        reporter.set_user("token", {});
        QTEST(reporter.forced_report("status check"), "accepted");
    }

    void critical_during_a_send_is_recorded_but_not_sent() {
        service->on("POST", kReportPath, [](const halvark::testing::RecordedRequest&) {
            QThread::msleep(300);
            return Reply{204, QByteArray()};
        });
        reporter.set_user("token", {});
        QTimer::singleShot(50, [] { qCritical("While sending"); });
        QVERIFY(reporter.forced_report("slow"));
        QVERIFY(reporter.recent_events().join('\n').contains("capture_message: While sending"));
        QCOMPARE(service->requests().size(), 1);
        QVERIFY(!reporter.is_sending());
    }

    // Two failures in a row are both reported; whatever is logged during a report's wait still
    // goes through the handler into the log and the recent events.
    void nothing_is_lost_while_a_report_is_sent() {
        service->on("POST", kReportPath, [](const halvark::testing::RecordedRequest&) {
            QThread::msleep(300);
            return Reply{204, QByteArray()};
        });
        reporter.set_user("token", {});
        QTimer::singleShot(100, [] {
            qWarning("Warning during the wait");
            qCritical("Critical during the wait");
        });
        qCritical("First failure");
        qCritical("Second failure");
        QTRY_COMPARE(service->requests().size(), 2);
        QTRY_VERIFY(!reporter.is_sending());
        QTest::qWait(100);
        QCOMPARE(service->requests().size(), 2);  // the one during a send is recorded only
        QCOMPARE(body_of(service->requests().at(1)).value("message").toString(),
                 QString("Second failure"));
        const QString log = collect_log_text(1);
        const QStringList lines = {"[error] First failure", "[error] Second failure",
                                   "[warning] Warning during the wait",
                                   "[error] Critical during the wait"};
        qsizetype at = 0;
        for (const QString& line : lines) {
            at = log.indexOf(line, at);
            QVERIFY2(at >= 0, qPrintable(line));
            QVERIFY(reporter.recent_events().join('\n').contains(line));
        }
    }

    void critical_from_another_thread_is_not_sent() {
        reporter.set_user("token", {});
        QThread* thread = QThread::create([] { qCritical("From a worker"); });
        thread->start();
        QVERIFY(thread->wait(5000));
        delete thread;
        QVERIFY(reporter.recent_events().join('\n').contains("capture_message: From a worker"));
        QTest::qWait(50);
        QCOMPARE(service->requests().size(), 0);
    }

    void silent_service_is_given_up_after_five_seconds() {
        service->never_answer("POST", kReportPath);
        reporter.set_user("token", {});
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!reporter.forced_report("nobody listens"));
        QVERIFY(clock.elapsed() >= 4700);  // the transfer time-out runs on a coarse timer
        QVERIFY(clock.elapsed() < 8000);
    }

    void exception_capture_is_fatal() {
        reporter.set_user("token", {});
        reporter.capture_exception("std::exception", "boom", true);
        const QJsonObject payload = body_of(service->requests().first());
        QCOMPARE(payload.value("level").toString(), QString("fatal"));
        QCOMPARE(payload.value("fatal").toBool(), true);
        QCOMPARE(payload.value("exception_type").toString(), QString("std::exception"));
        QCOMPARE(payload.value("stacktrace").toString(), QString("boom"));
        QVERIFY(
            reporter.recent_events().last().endsWith("capture_exception: std::exception: boom"));
    }

    void log_entries_are_bounded() {
        QStringList events;
        for (int i = 0; i < 200; ++i) {
            events.append(QString("event %1").arg(i));
        }
        QString log = "===== run.log =====\n\n";
        for (int i = 0; i < 1000; ++i) {
            log += QString("line %1\n\n").arg(i);
        }
        QJsonArray logs = report_logs(events, log);
        QCOMPARE(logs.size(), 500);
        QCOMPARE(logs.at(199).toString(), QString("event 199"));
        QCOMPARE(logs.at(200).toString(), QString("===== run.log ====="));
        QCOMPARE(logs.at(499).toString(), QString("line 298"));

        logs = report_logs({}, QString(5000, 'a') + "\n");
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.at(0).toString().size(), 4000);
        QCOMPARE(report_logs({"only"}, "  \n \n").size(), 1);
    }
};

QTEST_GUILESS_MAIN(CrashReporterTest)
#include "test_crash_reporter.moc"
