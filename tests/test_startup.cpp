// Runs the real launcher and reads what its start-up leaves behind.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include "fake_service.h"
#include "test_support.h"

using namespace halvark::testing;

class StartupTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void start_up_order() {
        ScopedEnvironment environment;
        FakeService service;
        service.reply("GET", "/api/v1/news", {200, "[]"});
        service.reply("GET", "/api/launcher/server-profiles", {200, "[]"});

        QProcessEnvironment process_environment = QProcessEnvironment::systemEnvironment();
        process_environment.insert("QT_QPA_PLATFORM", "offscreen");
        process_environment.insert("HALVARK_LAUNCHER_API_URL", service.base_url());
        process_environment.insert("HALVARK_LAUNCHER_SITE_URL", service.base_url());
        process_environment.insert("USER", "tester");
        QProcess launcher;
        launcher.setProcessEnvironment(process_environment);
        launcher.start(HALVARK_LAUNCHER_PATH, {});
        QVERIFY(launcher.waitForStarted());

        const QString logs = environment.data_path() + "/logs";
        QTRY_VERIFY_WITH_TIMEOUT(
            service.requests_to("GET", "/api/launcher/server-profiles").size() == 1, 10000);
        QTest::qWait(200);
        launcher.kill();
        launcher.waitForFinished();

        const QStringList files = QDir(logs).entryList({"*.log"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QFile file(logs + '/' + files.first());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.size() >= 17);
        QCOMPARE(lines.at(0), QString("=== Halvark Launcher Session Start ==="));
        QCOMPARE(lines.at(8), QString("APP_USER=tester"));
        QCOMPARE(lines.at(15), QString("=== End Session Header ==="));
        // The echoed header stays out of the file: the banner is the first message line.
        QVERIFY2(
            lines.at(16).contains(QRegularExpression(
                R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[info\] Starting Halvark Launcher v0\.1\.0 \(Halvark\)$)")),
            qPrintable(lines.at(16)));

        // The console shows the echo before the banner.
        const QString console = QString::fromUtf8(launcher.readAllStandardError());
        const qsizetype name_line = console.indexOf("===== " + files.first() + " =====");
        const qsizetype hwid_line = console.indexOf("HWID_SHA256=");
        const qsizetype banner = console.indexOf("Starting Halvark Launcher v0.1.0 (Halvark)");
        QVERIFY2(name_line >= 0 && name_line < hwid_line && hwid_line < banner,
                 qPrintable(console));
    }
};

QTEST_GUILESS_MAIN(StartupTest)
#include "test_startup.moc"
