// Native crashes: a child that really faults leaves its record; the next signed-in start
// sends it once with the crashed run's own log; bad records go with a log line.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "diagnostics/crash_reporter.h"
#include "diagnostics/native_crash_handler.h"
#include "diagnostics/native_crash_records.h"
#include "diagnostics/session_log.h"
#include "fake_service.h"
#include "storage/data_folder.h"
#include "test_support.h"

using namespace halvark;
using namespace halvark::diagnostics;
using namespace halvark::testing;

namespace {

const QString kPath = QStringLiteral("/api/v1/launcher/crash-report");

// A record as this build's handler writes one.
QByteArray record(const QString& build_id, const QString& log_name) {
    return QString(
               "halvark-native-crash 1\nversion=9.9.9\nbuild_id=%1\nlog=%2\nsignal=SIGSEGV\n"
               "code=1\naddress=0x0000000000000010\n"
               "frame=0x00005555aaaa1234 /opt/halvark/halvark launcher 0x0000000000001234 %1\n"
               "frame=0x00007f0000005678 ? 0x00007f0000005678 -\nend\n")
        .arg(build_id, log_name)
        .toUtf8();
}

}  // namespace

class NativeCrashTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScopedEnvironment> environment;
    std::unique_ptr<FakeService> service;
    CrashReporter& reporter = CrashReporter::instance();
    const QString own_build = QString::fromStdString(program_build_id());

    QString folder() const { return native_crash_directory(); }
    void plant(const QString& name, const QByteArray& content, int age_days = 0) {
        QFile file(folder() + '/' + name);
        QVERIFY(write_file(file.fileName(), content) && file.open(QIODevice::Append));
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addDays(-age_days),
                                 QFileDevice::FileModificationTime));
    }
    int send() { return reporter.send_native_crashes(take_native_crash_records(folder())); }

  private Q_SLOTS:
    void initTestCase() { QCoreApplication::setApplicationVersion("9.9.9"); }
    void init() {
        environment = std::make_unique<ScopedEnvironment>();
        service = std::make_unique<FakeService>();
        service->reply("POST", kPath, Reply{204, QByteArray()});
        reporter.init({service->url(kPath), "production", "r@9.9.9"});
        reporter.set_user("token-1", {{"uuid", "u-1"}, {"nickname", "Rook"}});
    }

    void a_real_fault_leaves_its_record_data() {  // the row's name is what the child does
        QTest::addColumn<QString>("signal");
        const std::pair<const char*, const char*> rows[] = {
#ifdef Q_OS_WIN
            {"null", "EXCEPTION_ACCESS_VIOLATION"},
            {"call-null", "EXCEPTION_ACCESS_VIOLATION"},
            {"divide", "EXCEPTION_INT_DIVIDE_BY_ZERO"},
#else
            {"null", "SIGSEGV"},
            {"call-null", "SIGSEGV"},
            {"abort", "SIGABRT"},
            {"divide", "SIGFPE"},
#endif
            {"exit", ""}};
        for (const auto& [kind, signal] : rows) {
            QTest::newRow(kind) << QString(signal);
        }
    }
    void a_real_fault_leaves_its_record() {
        const QString kind = QTest::currentDataTag();
        QFETCH(QString, signal);
        QDir().mkpath(folder());
        const QString path = folder() + "/child.crash";
        const QString minidump = folder() + "/child.dmp";
        QProcess child;
        child.start(QCoreApplication::applicationDirPath() + "/crash_child",
                    {kind, QDir::toNativeSeparators(path), QDir::toNativeSeparators(minidump)});
        QVERIFY(child.waitForFinished(20000));
        if (signal.isEmpty()) {
            QCOMPARE(child.exitCode(), 0);
            QVERIFY(!QFile::exists(path));  // a normal end leaves nothing behind
            return;
        }
        // Ends as it would have: killed by the signal (or by a sanitizer's own handler).
        QVERIFY(child.exitStatus() == QProcess::CrashExit || child.exitCode() != 0);
        NativeCrash crash;
        QVERIFY2(parse_native_crash(read_file(path), &crash), read_file(path).constData());
        QCOMPARE(crash.signal, signal);
        QCOMPARE(crash.log_name, QString("run.log"));
        const QRegularExpression in_child(" in crash_child(\\.exe)? \\+0x");
        QVERIFY(!crash.frames.filter(in_child).isEmpty());
        if (kind == "call-null") {  // the fault at 0, then the function that called it
            QVERIFY2(crash.frames.size() > 2 && crash.frames[0].contains(" in ? +0x") &&
                         crash.frames[1].contains(in_child) && crash.frames[2].contains(in_child),
                     qPrintable(crash.frames.join('\n')));
        }
#ifdef Q_OS_WIN
        QVERIFY(QFileInfo(minidump).size() > 0);
#endif
        // Another build's record: dropped with a line, never sent.
        QTest::ignoreMessage(QtWarningMsg,
                             "Native crash record child.crash is from another "
                             "build: removed");
        QCOMPARE(send(), 0);
        QVERIFY(!QFile::exists(path) && service->requests().isEmpty());
    }

    // Sent once, as a fatal report with the crashed run's own log; then gone.
    void a_record_is_sent_once_with_its_runs_log() {
        QVERIFY(write_file(storage::logs_directory() + "/2026-01-01_00-00-00.log",
                           "the crashed run's last line\n"));
        plant("old-run.crash", record(own_build, "2026-01-01_00-00-00.log"));
        QCOMPARE(send(), 1);
        QCOMPARE(service->requests().size(), 1);
        const QJsonObject report = QJsonDocument::fromJson(service->requests()[0].body).object();
        QCOMPARE(report["level"].toString(), QString("fatal"));
        QVERIFY(report["message"].toString().startsWith("SIGSEGV at 0x0000000000000010"));
        QVERIFY(report["stacktrace"].toString().startsWith(
            "#0 0x00005555aaaa1234 in halvark launcher +0x0000000000001234 build-id " + own_build));
        const QStringList logs = report["logs"].toVariant().toStringList();
        QVERIFY(logs.contains("===== 2026-01-01_00-00-00.log ====="));
        QVERIFY(logs.contains("the crashed run's last line"));
        QCOMPARE(report["user"].toObject()["nickname"].toString(), QString("Rook"));
        QVERIFY(!QFile::exists(folder() + "/old-run.crash"));
        QCOMPARE(send(), 0);
        QCOMPARE(service->requests().size(), 1);
    }

    // The minidump beside a record goes along when the report's bound leaves room for it.
    void the_minidump_goes_along_or_is_said_to_be_left_out() {
        for (const int bytes : {1000, 2 << 20}) {
            const QByteArray minidump(bytes, 'M');
            plant("dumped.crash", record(own_build, ""));
            QVERIFY(write_file(folder() + "/dumped.dmp", minidump));
            QCOMPARE(send(), 1);
            const QJsonObject report =
                QJsonDocument::fromJson(service->requests().last().body).object();
            const bool fits = bytes < (1 << 20) / 2;
            QCOMPARE(report["minidump_base64"].toString().toLatin1(),
                     fits ? minidump.toBase64() : QByteArray());
            QCOMPARE(report["minidump_left_out"].toString(),
                     fits ? QString()
                          : QString("a minidump of %1 bytes, over the report's bound").arg(bytes));
            QVERIFY(!QFile::exists(folder() + "/dumped.dmp"));
        }
    }

    // Refused: gone all the same. Not reached, or nobody signed in: kept for later.
    void a_record_waits_only_for_a_service_it_cannot_reach() {
        plant("a.crash", record(own_build, ""));
        reporter.clear_user();
        QCOMPARE(send(), 0);
        QVERIFY(QFile::exists(folder() + "/a.crash"));
        reporter.set_user("token-1", {{"uuid", "u-1"}});
        reporter.init({"http://127.0.0.1:1/api/v1/launcher/crash-report", "production", "r"});
        QCOMPARE(send(), 0);
        QVERIFY(QFile::exists(folder() + "/a.crash"));
        reporter.init({service->url(kPath), "production", "r@9.9.9"});
        service->reply("POST", kPath, Reply{422, R"({"detail":"no"})"});
        QCOMPARE(send(), 0);
        QCOMPARE(service->requests().size(), 1);
        QVERIFY(!QFile::exists(folder() + "/a.crash"));
    }

    void bad_and_surplus_records_go_with_a_line() {
        const QByteArray good = record(own_build, "x.log");
        plant("damaged.crash", good.left(good.size() / 2));
        plant("garbage.crash", QByteArray(5000, '\xff'));
        plant("escaping.crash", record(own_build, "../../secret.log"));
        plant("old.crash", good, 31);
        plant("empty.crash", "");  // a run that is still going
        for (int i = 0; i < 12; ++i) {
            plant(QString("run%1.crash").arg(i, 2, 10, QChar('0')), good, i);
        }
        for (const char* line :
             {"damaged.crash is damaged", "garbage.crash is damaged", "escaping.crash is damaged",
              "old.crash is older than 30 days", "run11.crash is beyond the newest ten",
              "run10.crash is beyond the newest ten"}) {
            QTest::ignoreMessage(QtWarningMsg,
                                 qPrintable(QString("Native crash record %1: removed").arg(line)));
        }
        const std::vector<NativeCrash> kept = take_native_crash_records(folder());
        QCOMPARE(int(kept.size()), kMaxNativeCrashRecords);
        QCOMPARE(QFileInfo(kept.front().path).fileName(), QString("run00.crash"));
        QCOMPARE(QDir(folder()).entryList(QDir::Files).size(), kMaxNativeCrashRecords + 1);
    }
};

QTEST_GUILESS_MAIN(NativeCrashTest)
#include "test_native_crash.moc"
