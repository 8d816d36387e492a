// The real launcher against the real local service: a remembered session is resumed.
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "test_support.h"

using halvark::testing::ScopedEnvironment;

namespace {

struct RunningService {
    QTemporaryDir state;
    QProcess process;
    QString base_url;
    QByteArray output;

    bool start(const QStringList& extra) {
        process.start(HALVARK_SERVICE_PATH,
                      QStringList{"--port", "0", "--state", state.path()} + extra);
        if (!process.waitForStarted()) {
            return false;
        }
        for (int i = 0; i < 100 && base_url.isEmpty(); ++i) {
            process.waitForReadyRead(100);
            output += process.readAllStandardOutput();
            base_url = QRegularExpression("http://127\\.0\\.0\\.1:\\d+")
                           .match(QString::fromUtf8(output))
                           .captured();
        }
        return !base_url.isEmpty();
    }
    QString log() {
        output += process.readAllStandardOutput();
        return QString::fromUtf8(output);
    }
    int count(const QString& line) { return static_cast<int>(log().count(line)); }
    ~RunningService() {
        process.terminate();
        process.waitForFinished(3000);
    }
};

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScopedEnvironment> environment;
    std::unique_ptr<QProcess> launcher;

    void resume_as(RunningService& service, const QString& nickname) {
        const int written = QProcess::execute(
            HALVARK_SERVICE_PATH, {"--state", service.state.path(), "--write-session",
                                   nickname + ':' + environment->data_path() + "/session.json"});
        QCOMPARE(written, 0);
        QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
        variables.insert("QT_QPA_PLATFORM", "offscreen");
        variables.insert("HALVARK_LAUNCHER_API_URL", service.base_url);
        variables.insert("HALVARK_LAUNCHER_SITE_URL", service.base_url);
        launcher = std::make_unique<QProcess>();
        launcher->setProcessEnvironment(variables);
        launcher->start(HALVARK_LAUNCHER_PATH, {});
        QVERIFY(launcher->waitForStarted());
    }
    QString launcher_log() const {
        const QDir logs(environment->data_path() + "/logs");
        QFile file(logs.filePath(logs.entryList({"*.log"}).value(0)));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

  private Q_SLOTS:
    void init() { environment = std::make_unique<ScopedEnvironment>(); }
    void cleanup() {
        if (launcher) {
            launcher->kill();
            launcher->waitForFinished();
        }
        launcher.reset();
        environment.reset();
    }

    void saved_session_is_resumed() {
        RunningService service;
        QVERIFY(service.start({}));
        resume_as(service, "Patron");
        // Pictures asked for twice may come from the disk cache the second time.
        QTRY_VERIFY_WITH_TIMEOUT(
            service.count(
                "GET /api/v1/player-media/avatars/c7a8e1f2-5b3d-4a69-b0c4-7e2f1d9a8b33 -> 200") >=
                    1 &&
                service.count("GET /media/profiles/1.png -> 200") >= 1 &&
                service.count("GET /media/news/39.png -> 200") == 1,
            15000);
        // The second current-user request may still run while the pictures arrive.
        QTRY_COMPARE_WITH_TIMEOUT(service.count("GET /api/v1/launcher/auth/me -> 200"), 2, 15000);
        QCOMPARE(service.count("POST /api/v1/launcher/hwid -> 204"), 1);
        QCOMPARE(service.count("GET /api/v1/news -> 200"), 1);
        QVERIFY(service.count("GET /api/launcher/server-profiles -> 200") >= 1);
        QCOMPARE(service.count("POST /api/v1/launcher/crash-report"), 0);
        QTRY_VERIFY_WITH_TIMEOUT(launcher_log().contains("[info] HWID submitted\n"), 15000);
        QFile session(environment->data_path() + "/session.json");
        QVERIFY(session.open(QIODevice::ReadOnly));
        const QString token =
            QJsonDocument::fromJson(session.readAll()).object().value("access_token").toString();
        QVERIFY(!token.isEmpty());
        QVERIFY(!launcher_log().contains(token));
        QVERIFY(!launcher_log().contains(token.section('.', 2)));
    }

    void failing_server_list_is_reported() {
        RunningService service;
        QVERIFY(service.start({"--fail-server-profiles"}));
        resume_as(service, "Rook");
        const QDir reports(service.state.path() + "/reports");
        QTRY_VERIFY_WITH_TIMEOUT(!reports.entryList({"*.json"}).isEmpty(), 15000);
        QFile file(reports.filePath(reports.entryList({"*.json"}).first()));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
        QVERIFY2(report.value("message").toString().startsWith(
                     "Server profiles request failed: status=503"),
                 qPrintable(report.value("message").toString()));
        QCOMPARE(report.value("level").toString(), QString("error"));
        QCOMPARE(report.value("account").toString(), QString("Rook"));
        QCOMPARE(report.value("user").toObject().value("nickname").toString(), QString("Rook"));
        QVERIFY(launcher_log().contains("[error] Server profiles request failed: status=503"));
    }
};

QTEST_GUILESS_MAIN(EndToEndTest)
#include "test_end_to_end.moc"
