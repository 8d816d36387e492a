// The crash reporter: recent events, the handler, what a report carries and when it is sent.
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
using namespace halvark::testing;

namespace {

const QString kPath = QStringLiteral("/api/v1/launcher/crash-report");

QJsonObject body_of(const RecordedRequest& request) {
    return QJsonDocument::fromJson(request.body).object();
}

}  // namespace

class CrashReporterTest : public QObject {
    Q_OBJECT

    ScopedEnvironment environment;
    std::unique_ptr<FakeService> service;
    CrashReporter& reporter = CrashReporter::instance();

    QString events() const { return reporter.recent_events().join('\n'); }

  private Q_SLOTS:
    void initTestCase() {
        QCoreApplication::setApplicationVersion("9.9.9");
        start_session_log();
    }
    void init() {
        service = std::make_unique<FakeService>();
        service->reply("POST", kPath, Reply{204, QByteArray()});
        reporter.init({service->url(kPath), "production", "r@9.9.9"});
        reporter.clear_user();
    }

    void critical_is_reported_for_a_signed_in_account() {
        const QJsonObject user{{"uuid", "u-1"}, {"nickname", "Rook"}, {"extra", 7}};
        reporter.set_user("  token-1  ", user);
        for (int i = 0; i < 250; ++i) {
            qInfo("event %d", i);
        }
        QVERIFY(reporter.recent_events().first().endsWith("[info] event 50"));  // the newest 200
        qCritical("Renderer lost");
        QCOMPARE(service->requests().size(), 0);  // sent from the event loop, not the handler
        QTRY_COMPARE_WITH_TIMEOUT(service->requests().size(), 1, kPatienceMs);
        const RecordedRequest request = service->requests().first();
        const QJsonObject payload = body_of(request);
        const QString id = payload.value("event_id").toString();
        QVERIFY(QUuid::fromString(id) != QUuid() && id == id.toLower());
        for (const auto& [header, value] :
             {std::pair<QString, QString>{"authorization", "Bearer token-1"},
              {"content-type", "application/json"},
              {"x-launcher-version", "9.9.9"},
              {"x-request-id", id}}) {
            QCOMPARE(request.headers.value(header), value);
        }
        QCOMPARE(payload.value("level").toString(), QString("error"));
        QCOMPARE(payload.value("message").toString(), QString("Renderer lost"));
        QCOMPARE(payload.value("user").toObject(), user);
        const QJsonArray logs = payload.value("logs").toArray();
        QVERIFY(logs.at(199).toString().endsWith("capture_message: Renderer lost"));
        QVERIFY(logs.at(200).toString().startsWith("===== "));  // then the newest log
    }

    void forced_and_exception_reports() {
        QVERIFY(!reporter.forced_report("signed out"));  // no token: nothing is sent
        reporter.set_user("token", {});
        QVERIFY(reporter.forced_report("one"));
        reporter.capture_exception("std::exception", "boom", true);
        service->reply("POST", kPath, Reply{500, "{}"});
        QVERIFY(!reporter.forced_report("refused"));
        QCOMPARE(collect_log_text(1).count(QRegularExpression("not delivered: status=500")), 1);
        const auto requests = service->requests();
        QCOMPARE(requests.size(), 3);
        const QJsonObject forced = body_of(requests[0]), fatal = body_of(requests[1]);
        QCOMPARE(forced.value("level").toString(), QString("warning"));
        QCOMPARE(forced.value("exception_type").toString(), QString("forced_report"));
        QCOMPARE(fatal.value("level").toString(), QString("fatal"));
        QCOMPARE(fatal.value("stacktrace").toString(), QString("boom"));
    }

    // Two failures in a row are both reported; what is logged during a report's wait still
    // goes through the handler; a critical during a send is recorded, not sent.
    void nothing_is_lost_while_a_report_is_sent() {
        service->on("POST", kPath, [](const RecordedRequest&) {
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
        QTRY_COMPARE_WITH_TIMEOUT(service->requests().size(), 2, kPatienceMs);
        QTRY_VERIFY_WITH_TIMEOUT(!reporter.is_sending(), kPatienceMs);
        QTest::qWait(100);
        QCOMPARE(service->requests().size(), 2);
        QCOMPARE(body_of(service->requests()[1]).value("message").toString(),
                 QString("Second failure"));
        const QString log = collect_log_text(1);
        qsizetype at = 0;
        for (const char* line :
             {"[error] First failure", "[error] Second failure",
              "[warning] Warning during the wait", "[error] Critical during the wait"}) {
            at = log.indexOf(line, at);
            QVERIFY2(at >= 0 && events().contains(line), line);
        }
    }

    void log_entries_are_bounded() {
        QStringList recent;
        QString log = "===== run.log =====\n\n";
        for (int i = 0; i < 1000; ++i) {
            recent.append(QString("event %1").arg(i));
            log += QString("line %1\n\n").arg(i);
        }
        const QJsonArray logs = report_logs(recent.mid(0, 200), log);
        QCOMPARE(logs.size(), 500);  // the events, then the log's newest lines without blanks
        QCOMPARE(logs.at(499).toString(), QString("line 298"));
        QCOMPARE(report_logs({}, QString(5000, 'a')).at(0).toString().size(), 4000);
    }

    // Megabytes in a part, of characters that are sent wide (JSON writes a control character
    // as six bytes, UTF-8 takes three for U+0800) or are no text (lone surrogates), still make
    // a body the service accepts, each cut marked, the log giving way first.
    void reports_stay_within_a_megabyte_data() {
        QTest::addColumn<QString>("events");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("log");
        QTest::addColumn<QString>("first_cut");  // what the body shows was cut
        const QString control(1 << 20, QChar(1));
        const QString wide(1 << 20, QChar(0x0800));
        QString lone(1 << 20, QChar(0xd800));
        const QString lines = (QString(4000, QChar(1)) + '\n').repeated(500);
        QTest::newRow("control events") << control << "m"
                                        << ""
                                        << "older events left out";
        QTest::newRow("control log") << "e"
                                     << "m" << lines << "[log cut at ";
        QTest::newRow("wide message, control log") << "e" << wide << lines << "[log cut at ";
        QTest::newRow("lone surrogates") << lone << lone << lone.left(4000) << "older events";
        QTest::newRow("everything") << control << control << lines << "older events left out";
    }
    void reports_stay_within_a_megabyte() {
        QFETCH(QString, events);
        QFETCH(QString, message);
        QFETCH(QString, log);
        QFETCH(QString, first_cut);
        reporter.add_breadcrumb(events);  // cut as it is recorded
        QVERIFY(reporter.recent_events().last().size() <= kMaxReportEventChars);
        const ReportContext context{"production",
                                    "r",
                                    {{"uuid", "u"}, {"pad", QString(100000, QChar(1))}},
                                    QStringList(200, events.left(kMaxReportEventChars))};
        const QByteArray body =
            bounded_report_body("id", {"error", message, message, message, false}, context, log);
        QVERIFY2(body.size() <= kMaxReportBodyBytes, QByteArray::number(body.size()));
        const QJsonObject payload = QJsonDocument::fromJson(body).object();
        QCOMPARE(payload.value("user").toObject().value("cut").toBool(), true);
        QVERIFY(payload.value("message").toString().size() <= kMaxReportTextChars);
        QVERIFY(!payload.value("message").toString().isEmpty());
        const QStringList logs = payload.value("logs").toVariant().toStringList();
        QVERIFY2(!logs.filter(first_cut).isEmpty(), qPrintable(logs.join('|').left(200)));
    }
};

QTEST_GUILESS_MAIN(CrashReporterTest)
#include "test_crash_reporter.moc"
