// The real launcher against the real local service: a remembered session is resumed, and a
// failing server list is reported.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "test_support.h"

using halvark::testing::read_file;

class EndToEndTest : public QObject {
    Q_OBJECT

    halvark::testing::ScopedEnvironment environment;
    QTemporaryDir state;
    QProcess service;  // both are killed when the test ends
    QProcess launcher;
    QString console;

    int seen(const QString& line) {
        console += service.readAllStandardOutput();
        return static_cast<int>(console.count(line));
    }
    QString launcher_log() const {
        const QDir logs(environment.data_path() + "/logs");
        return read_file(logs.filePath(logs.entryList({"*.log"}).value(0)));
    }

    QString start_service(QStringList arguments) {
        service.start(HALVARK_SERVICE_PATH, arguments << "--port"
                                                      << "0"
                                                      << "--state" << state.path());
        const bool listening = QTest::qWaitFor([this] { return seen("Listening on") == 1; },
                                               halvark::testing::kPatienceMs);
        return listening
                   ? QRegularExpression("http://127\\.0\\.0\\.1:\\d+").match(console).captured()
                   : QString();
    }
    void start_launcher(const QString& program, const QString& url) {
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] :
             {std::pair<QString, QString>{"QT_QPA_PLATFORM", "offscreen"},
              {"HALVARK_LAUNCHER_API_URL", url},
              {"HALVARK_LAUNCHER_SITE_URL", url},
              {"USER", "tester"}}) {
            variables.insert(name, value);
        }
        launcher.setProcessEnvironment(variables);
        launcher.start(program, {});
    }
    QJsonObject last_report() const {
        const QDir reports(state.path() + "/reports");
        const QStringList names = reports.entryList({"*.json"});
        return names.isEmpty()
                   ? QJsonObject()
                   : QJsonDocument::fromJson(read_file(reports.filePath(names.last()))).object();
    }

  private Q_SLOTS:
    void cleanup() {
        for (QProcess* process : {&launcher, &service}) {
            process->kill();
            process->waitForFinished();
        }
        console.clear();
        QDir(state.path() + "/reports").removeRecursively();
        QDir(environment.data_path() + "/logs").removeRecursively();
    }

    // The server list fails (503), so that a report goes to the service as well.
    void saved_session_is_resumed_and_a_failure_reported() {
        const QString url = start_service({"--fail-server-profiles"});
        const QString session = environment.data_path() + "/session.json";
        QCOMPARE(QProcess::execute(HALVARK_SERVICE_PATH, {"--state", state.path(),
                                                          "--write-session", "Patron:" + session}),
                 0);
        start_launcher(HALVARK_LAUNCHER_PATH, url);
        // Pictures asked for twice may come from the disk cache the second time.
        QTRY_VERIFY_WITH_TIMEOUT(
            seen("GET /api/v1/player-media/avatars/c7a8e1f2-5b3d-4a69-b0c4-7e2f1d9a8b33 -> 200") >=
                    1 &&
                seen("GET /media/news/39.png -> 200") == 1,
            halvark::testing::kPatienceMs);
        QTRY_COMPARE_WITH_TIMEOUT(seen("GET /api/v1/launcher/auth/me -> 200"), 2,
                                  halvark::testing::kPatienceMs);
        QCOMPARE(seen("POST /api/v1/launcher/hwid -> 204"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!last_report().isEmpty(), halvark::testing::kPatienceMs);
        const QJsonObject report = last_report();
        QVERIFY(
            report["message"].toString().startsWith("Server profiles request failed: status=503"));
        QCOMPARE(report["account"].toString(), QString("Patron"));
        QTRY_VERIFY_WITH_TIMEOUT(launcher_log().contains("[info] HWID submitted\n"),
                                 halvark::testing::kPatienceMs);
        const QString token =
            QJsonDocument::fromJson(read_file(session))["access_token"].toString();
        QVERIFY(!token.isEmpty() && !launcher_log().contains(token.section('.', 2)));
        // The header opens the log; its echo on the console stays out of it, before the banner.
        const QStringList lines = launcher_log().split('\n');
        QCOMPARE(lines[8], QString("APP_USER=tester"));
        QVERIFY(lines[16].endsWith(" [info] Starting Halvark Launcher v0.1.0 (Halvark)"));
        const QString echo = launcher.readAllStandardError();
        QVERIFY(echo.indexOf("HWID_SHA256=") < echo.indexOf("Starting Halvark Launcher"));
    }

    // A launcher whose home screen plug-in is missing (a damaged installation) logs which
    // file it could not load, and why.
    void missing_home_screen_is_logged() {
#ifdef Q_OS_WIN
        QSKIP("The Windows launcher links its home screen in");
#endif
        const QTemporaryDir install;
        const QString program = install.filePath("halvark_launcher");
        QVERIFY(QFile::copy(HALVARK_LAUNCHER_PATH, program));
        start_launcher(program, "http://127.0.0.1:9");
        QTRY_VERIFY_WITH_TIMEOUT(
            launcher_log().contains("[error] The home screen could not be loaded from " +
                                    install.filePath("halvark_home") + ": "),
            halvark::testing::kPatienceMs);
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "test_end_to_end.moc"
