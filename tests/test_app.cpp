// Metadata and endpoints, and the translation tables with their search order.
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_info.h"
#include "app/translator.h"
#include "test_support.h"

using namespace halvark;
using app::Translator;

class AppTest : public QObject {
    Q_OBJECT

    QTemporaryDir working_directory;
    const QString ini = QCoreApplication::applicationDirPath() + "/settings.ini";

    void write(const QString& path, const QByteArray& content) {
        QVERIFY(testing::write_file(path, content));
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir::setCurrent(working_directory.path())); }
    void cleanup() { QFile::remove(ini); }

    void endpoints_follow_the_environment() {
        testing::ScopedEnvironment environment;
        const QString api = HALVARK_API_BASE_URL_FOR_TESTS;
        QCOMPARE(app::load_endpoints().login_url, api + "/api/v1/launcher/auth/login");
        qputenv("HALVARK_LAUNCHER_API_URL", "http://127.0.0.1:8");
        qputenv("HALVARK_LAUNCHER_ME_URL", "  http://x/me  ");
        qputenv("HALVARK_LAUNCHER_LOGIN_URL", "");
        const app::Endpoints endpoints = app::load_endpoints();
        QCOMPARE(endpoints.login_url, QString());  // set but empty means empty
        QCOMPARE(endpoints.me_url, QString("  http://x/me  "));
        QCOMPARE(endpoints.hwid_url, QString("http://127.0.0.1:8/api/v1/launcher/hwid"));
        QCOMPARE(endpoints.crash_report_url,
                 QString("http://127.0.0.1:8/api/v1/launcher/crash-report"));
    }

    void metadata_from_settings_ini() {
        QCOMPARE(app::load_app_info().author, QString("Halvark"));  // no file
        for (const auto& [content, name, author] :
             {std::tuple{"[Launcher]\nname=\"  Big  \"\nauthor=\n", "Big", ""},
              {"[Launcher]\nname=A,B\nauthor=Halvark, Inc.\n", "A, B", "Halvark, Inc."},
              {"[Other]\nname=x\n", "Halvark Launcher", "Halvark"}}) {
            write(ini, content);
            const app::AppInfo info = app::load_app_info();
            QCOMPARE(info.name, QString(name));
            QCOMPARE(info.author, QString(author));
        }
    }

    void translations_are_searched_in_order() {
        QCOMPARE(Translator::instance().tr("settings.title"), QString("settings.title"));
        write("lang/en.json", R"({"settings.title":"From the working folder"})");
        QVERIFY(Translator::instance().set_language("en"));
        QCOMPARE(Translator::instance().tr("settings.title"), QString("From the working folder"));
        QCOMPARE(Translator::instance().tr("auth.login"), QString("auth.login"));
        QVERIFY(Translator::instance().set_language("ru"));  // beside the build
        QCOMPARE(Translator::instance().tr("auth.login"), QString("Войти"));
        for (const char* unusable : {R"(["x"])", "x = y", "", R"({"count":3})"}) {
            write("lang/en.json", unusable);  // the first file found decides
            QVERIFY(!Translator::instance().set_language("en"));
            QCOMPARE(Translator::instance().language(), QString("ru"));
        }
        write("lang/xx.json", R"({"settings.title":"","other":5})");
        QVERIFY(Translator::instance().set_language("xx"));
        QCOMPARE(Translator::instance().tr("settings.title"), QString(""));
    }

    void shipped_files_have_every_key_and_placeholder() {
        QJsonObject tables[2];
        for (int i = 0; i < 2; ++i) {
            QFile file(QString(HALVARK_SOURCE_DIR "/lang/%1.json").arg(i == 0 ? "en" : "ru"));
            QVERIFY(file.open(QIODevice::ReadOnly));
            tables[i] = QJsonDocument::fromJson(file.readAll()).object();
        }
        QCOMPARE(tables[0].keys(), tables[1].keys());
        for (const QString& key : tables[0].keys()) {  // the same placeholders in both
            const QRegularExpression placeholder("%\\d");
            QStringList found[2];
            for (int i = 0; i < 2; ++i) {
                for (const auto& match : placeholder.globalMatch(tables[i][key].toString())) {
                    found[i].append(match.captured());
                }
                found[i].sort();
            }
            QVERIFY2(found[0] == found[1], qPrintable(key));
        }
    }
};

QTEST_GUILESS_MAIN(AppTest)
#include "test_app.moc"
