// The real launcher against the real local service: a remembered session is resumed, and a
// failing server list is reported.
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "test_support.h"

class EndToEndTest : public QObject {
    Q_OBJECT

    std::unique_ptr<halvark::testing::ScopedEnvironment> environment;
    QTemporaryDir state;
    QProcess service;
    QProcess launcher;
    QString console;

    int seen(const QString& line) {
        console += service.readAllStandardOutput();
        return static_cast<int>(console.count(line));
    }
    QString launcher_log() const {
        const QDir logs(environment->data_path() + "/logs");
        return halvark::testing::read_file(logs.filePath(logs.entryList({"*.log"}).value(0)));
    }
    void resume_as(const QString& nickname, const QStringList& options) {
        environment = std::make_unique<halvark::testing::ScopedEnvironment>();
        service.start(HALVARK_SERVICE_PATH,
                      QStringList{"--port", "0", "--state", state.path()} + options);
        QTRY_VERIFY(seen("Listening on") == 1);
        const QString url =
            QRegularExpression("http://127\\.0\\.0\\.1:\\d+").match(console).captured();
        QCOMPARE(QProcess::execute(HALVARK_SERVICE_PATH,
                                   {"--state", state.path(), "--write-session",
                                    nickname + ':' + environment->data_path() + "/session.json"}),
                 0);
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.insert("QT_QPA_PLATFORM", "offscreen");
        variables.insert("HALVARK_LAUNCHER_API_URL", url);
        variables.insert("HALVARK_LAUNCHER_SITE_URL", url);
        variables.insert("USER", "tester");
        launcher.setProcessEnvironment(variables);
        launcher.start(HALVARK_LAUNCHER_PATH, {});
        QVERIFY(launcher.waitForStarted());
    }

  private Q_SLOTS:
    void cleanup() {
        for (QProcess* process : {&launcher, &service}) {
            process->kill();
            process->waitForFinished();
        }
        console.clear();
    }

    // The server list fails (503), so that a report goes to the service as well.
    void saved_session_is_resumed_and_a_failure_reported() {
        resume_as("Patron", {"--fail-server-profiles"});
        // Pictures asked for twice may come from the disk cache the second time.
        QTRY_VERIFY_WITH_TIMEOUT(
            seen("GET /api/v1/player-media/avatars/c7a8e1f2-5b3d-4a69-b0c4-7e2f1d9a8b33 -> 200") >=
                    1 &&
                seen("GET /media/news/39.png -> 200") == 1,
            15000);
        QTRY_COMPARE_WITH_TIMEOUT(seen("GET /api/v1/launcher/auth/me -> 200"), 2, 15000);
        QCOMPARE(seen("POST /api/v1/launcher/hwid -> 204"), 1);
        QCOMPARE(seen("GET /api/v1/news -> 200"), 1);
        const QDir reports(state.path() + "/reports");
        QTRY_VERIFY_WITH_TIMEOUT(!reports.entryList({"*.json"}).isEmpty(), 15000);
        QFile report_file(reports.filePath(reports.entryList({"*.json"}).first()));
        QVERIFY(report_file.open(QIODevice::ReadOnly));
        const QJsonObject report = QJsonDocument::fromJson(report_file.readAll()).object();
        QVERIFY(
            report["message"].toString().startsWith("Server profiles request failed: status=503"));
        QCOMPARE(report["account"].toString(), QString("Patron"));
        QTRY_VERIFY_WITH_TIMEOUT(launcher_log().contains("[info] HWID submitted\n"), 15000);
        QFile session(environment->data_path() + "/session.json");
        QVERIFY(session.open(QIODevice::ReadOnly));
        const QString token = QJsonDocument::fromJson(session.readAll())["access_token"].toString();
        QVERIFY(!token.isEmpty() && !launcher_log().contains(token.section('.', 2)));
        // The header opens the log; its echo on the console stays out of it, before the banner.
        const QStringList lines = launcher_log().split('\n');
        QCOMPARE(lines[8], QString("APP_USER=tester"));
        QVERIFY(lines[16].endsWith(" [info] Starting Halvark Launcher v0.1.0 (Halvark)"));
        const QString echo = launcher.readAllStandardError();
        QVERIFY(echo.indexOf("HWID_SHA256=") < echo.indexOf("Starting Halvark Launcher"));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "test_end_to_end.moc"
