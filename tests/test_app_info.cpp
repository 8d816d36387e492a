#include <QFile>
#include <QtTest>

#include "app/app_info.h"
#include "test_support.h"

using namespace halvark;

class AppInfoTest : public QObject {
    Q_OBJECT

    QString ini_path() const { return QCoreApplication::applicationDirPath() + "/settings.ini"; }

  private Q_SLOTS:
    void cleanup() { QFile::remove(ini_path()); }

    void endpoints_follow_environment_data() {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("me");
        QTest::addColumn<QString>("hwid");

        const QString api = QStringLiteral(HALVARK_API_BASE_URL_FOR_TESTS);
        QTest::newRow("nothing set")
            << QByteArray() << QByteArray() << api + "/api/v1/launcher/auth/login"
            << api + "/api/v1/launcher/auth/me" << api + "/api/v1/launcher/hwid";
        QTest::newRow("me replaced alone")
            << QByteArray("HALVARK_LAUNCHER_ME_URL") << QByteArray("http://127.0.0.1:9/me")
            << api + "/api/v1/launcher/auth/login" << QString("http://127.0.0.1:9/me")
            << api + "/api/v1/launcher/hwid";
        QTest::newRow("login set but empty")
            << QByteArray("HALVARK_LAUNCHER_LOGIN_URL") << QByteArray("") << QString()
            << api + "/api/v1/launcher/auth/me" << api + "/api/v1/launcher/hwid";
        QTest::newRow("spaces kept")
            << QByteArray("HALVARK_LAUNCHER_HWID_URL") << QByteArray("  http://x/h  ")
            << api + "/api/v1/launcher/auth/login" << api + "/api/v1/launcher/auth/me"
            << QString("  http://x/h  ");
        QTest::newRow("api host moves all four")
            << QByteArray("HALVARK_LAUNCHER_API_URL") << QByteArray("http://127.0.0.1:8")
            << QString("http://127.0.0.1:8/api/v1/launcher/auth/login")
            << QString("http://127.0.0.1:8/api/v1/launcher/auth/me")
            << QString("http://127.0.0.1:8/api/v1/launcher/hwid");
    }
    void endpoints_follow_environment() {
        QFETCH(QByteArray, variable);
        QFETCH(QByteArray, value);
        testing::ScopedEnvironment environment;
        if (!variable.isEmpty()) {
            qputenv(variable.constData(), value);
        }
        const app::Endpoints endpoints = app::load_endpoints();
        QTEST(endpoints.login_url, "login");
        QTEST(endpoints.me_url, "me");
        QTEST(endpoints.hwid_url, "hwid");
    }

    void ini_values_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("author");
        QTest::newRow("no file") << QByteArray() << "Halvark Launcher"
                                 << "0.1.0"
                                 << "Halvark";
        QTest::newRow("trimmed")
            << QByteArray("[Launcher]\nname=\"  Big Launcher  \"\nversion=\" 2.3.1 \"\n")
            << "Big Launcher"
            << "2.3.1"
            << "Halvark";
        QTest::newRow("present but blank") << QByteArray("[Launcher]\nversion=\nauthor=\n")
                                           << "Halvark Launcher" << QString() << QString();
        QTest::newRow("commas kept")
            << QByteArray("[Launcher]\nname=A,B\nauthor=Halvark, Inc.\n") << "A, B"
            << "0.1.0"
            << "Halvark, Inc.";
        QTest::newRow("other groups ignored")
            << QByteArray("[Other]\nname=x\n") << "Halvark Launcher"
            << "0.1.0"
            << "Halvark";
    }
    void ini_values() {
        QFETCH(QByteArray, ini);
        if (!ini.isEmpty()) {
            QFile file(ini_path());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini);
        }
        const app::AppInfo info = app::load_app_info();
        QTEST(info.name, "name");
        QTEST(info.version, "version");
        QTEST(info.author, "author");
    }
};

QTEST_GUILESS_MAIN(AppInfoTest)
#include "test_app_info.moc"
