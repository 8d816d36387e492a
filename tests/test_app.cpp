// Metadata and endpoints, the translation tables with their search order, the per-run log
// and the hardware id.
#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "app/app_info.h"
#include "app/translator.h"
#include "diagnostics/hwid.h"
#include "diagnostics/session_log.h"
#include "storage/data_folder.h"
#include "test_support.h"

using namespace halvark;
using app::Translator;
using namespace halvark::diagnostics;

class AppTest : public QObject {
    Q_OBJECT

    QTemporaryDir working_directory;
    const QString ini = QCoreApplication::applicationDirPath() + "/settings.ini";

  private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir::setCurrent(working_directory.path())); }
    void cleanup() { QFile::remove(ini); }

    void metadata_from_settings_ini() {
        QCOMPARE(app::load_app_info().author, QString("Halvark"));  // no file
        for (const auto& [content, name, author] :
             {std::tuple{"[Launcher]\nname=\"  Big  \"\nauthor=\n", "Big", ""},
              {"[Launcher]\nname=A,B\nauthor=Halvark, Inc.\n", "A, B", "Halvark, Inc."},
              {"[Other]\nname=x\n", "Halvark Launcher", "Halvark"}}) {
            QVERIFY(testing::write_file(ini, content));
            const app::AppInfo info = app::load_app_info();
            QCOMPARE(info.name, QString(name));
            QCOMPARE(info.author, QString(author));
        }
    }

    // Unset means the built-in address; any text set is taken as it is, wide text too.
    void endpoints_from_the_environment() {
        const testing::ScopedEnvironment environment;
        QVERIFY(app::load_app_info().endpoints.me_url.endsWith("/api/v1/launcher/auth/me"));
        testing::set_environment("HALVARK_LAUNCHER_API_URL", QString::fromUtf8("http://пример"));
        testing::set_environment("HALVARK_LAUNCHER_ME_URL", "http://127.0.0.1:1/me");
        const app::Endpoints endpoints = app::load_app_info().endpoints;
        QCOMPARE(endpoints.me_url, QString("http://127.0.0.1:1/me"));
        QCOMPARE(endpoints.hwid_url, QString::fromUtf8("http://пример/api/v1/launcher/hwid"));
#ifndef Q_OS_WIN  // Windows has no empty variables: setting one to "" removes it
        qputenv("HALVARK_LAUNCHER_LOGIN_URL", "");
        QVERIFY(app::load_app_info().endpoints.login_url.isEmpty());
#endif
    }

    void translations_are_searched_in_order() {
        QCOMPARE(Translator::instance().tr("settings.title"), QString("settings.title"));
        QVERIFY(
            testing::write_file("lang/en.json", R"({"settings.title":"From the working folder"})"));
        QVERIFY(Translator::instance().set_language("en"));
        QCOMPARE(Translator::instance().tr("settings.title"), QString("From the working folder"));
        QVERIFY(Translator::instance().set_language("ru"));  // beside the build
        QCOMPARE(Translator::instance().tr("auth.login"), QString("Войти"));
        for (const char* unusable : {R"(["x"])", "x = y", "", R"({"count":3})"}) {
            QVERIFY(testing::write_file("lang/en.json", unusable));  // the first file found decides
            QVERIFY(!Translator::instance().set_language("en"));
            QCOMPARE(Translator::instance().language(), QString("ru"));
        }
        QVERIFY(testing::write_file("lang/xx.json", R"({"settings.title":"","other":5})"));
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

    void first_log_line_creates_the_header() {
        testing::ScopedEnvironment environment;  // the log's path is fixed from here on
        // A Windows profile: backslashes and a name that is not ASCII.
        const QString profile = environment.path() + QString::fromUtf8("/Дмитрий/AppData");
        testing::set_environment("APPDATA", QDir::toNativeSeparators(profile));
        testing::set_environment("USERNAME", QString::fromUtf8("Дмитрий"));
        append_log_line("[info] hello");
        start_session_log();  // a second start adds nothing
        QCOMPARE(storage::logs_directory(), profile + "/.halvark_launcher/logs");
        const QString name = QDir(storage::logs_directory()).entryList({"*.log"}).value(0);
        QVERIFY(name.contains(QRegularExpression(R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.log$)")));
        const QStringList lines =
            QString::fromUtf8(testing::read_file(storage::logs_directory() + '/' + name))
                .split('\n', Qt::SkipEmptyParts);
        const QStringList keys = QString(
                                     "=== Halvark Launcher Session Start ===|START_LOCAL=|"
                                     "START_UTC=|TIMEZONE=|HOSTNAME=|OS=|KERNEL=|CPU_ARCH=|"
                                     "APP_USER=Дмитрий|CPU_MODEL=|MOTHERBOARD_SERIAL=|"
                                     "ROOT_VOLUME_ID=|OS_MACHINE_ID=|ETC_MACHINE_ID=|"
                                     "HWID_SHA256=|=== End Session Header ===")
                                     .split('|');
        QCOMPARE(lines.size(), keys.size() + 1);
        for (int i = 0; i < keys.size(); ++i) {
            QVERIFY2(lines[i].startsWith(keys[i]) && is_session_header_line(lines[i]),
                     qPrintable(lines[i]));
        }
        const QString machine = QSysInfo::machineUniqueId();
        QCOMPARE(lines[14], "HWID_SHA256=" + compute_hwid("", "", "", machine, ""));
        QVERIFY(lines[16].contains(
            QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[info\] hello$)")));
        QCOMPARE(session_header_lines().size(), 17);  // the file's name line and the header
        QVERIFY(!is_session_header_line("[info] HWID_SHA256=ABC"));
        QVERIFY(!is_session_header_line("===== notes.txt ====="));
    }

    void hardware_id() {
        const auto sha256 = [](const QByteArray& bytes) {
            return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toUpper();
        };
        QCOMPARE(compute_hwid("", "", "", "", ""), sha256("halvark_launcher_unknown_hwid_v2"));
        QCOMPARE(compute_hwid("ab", "", "", "c", ""), sha256("abc"));
        qputenv("PROCESSOR_IDENTIFIER", "Intel64");
        QCOMPARE(current_hwid(), compute_hwid("Intel64", "", "", QSysInfo::machineUniqueId(), ""));
    }
};

QTEST_GUILESS_MAIN(AppTest)
#include "test_app.moc"
