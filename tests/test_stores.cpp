#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include "storage/session_store.h"
#include "storage/settings_store.h"
#include "test_support.h"

using namespace halvark::storage;
using halvark::testing::ScopedEnvironment;

namespace {

void write_file(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QJsonObject read_object(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

}  // namespace

class StoresTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void defaults_without_a_file() {
        ScopedEnvironment environment;
        const SettingsStore settings;
        QCOMPARE(settings.language(), QString("ru"));
        QCOMPARE(settings.ram_mb(), 4096);
        QVERIFY(settings.auto_ram());
        QVERIFY(settings.server_list_background_enabled());
        QCOMPARE(settings.game_directory(), environment.path() + "/.halvark");
        QCOMPARE(launcher_data_directory(), environment.path() + "/.halvark_launcher");
        QVERIFY(!QDir(launcher_data_directory()).exists());
    }

    void home_directory_without_appdata() {
        ScopedEnvironment environment;
        qputenv("APPDATA", "");
        QCOMPARE(launcher_data_directory(), QDir::homePath() + "/.halvark_launcher");
        QCOMPARE(default_game_directory(), QDir::cleanPath(QDir::homePath() + "/.halvark"));
    }

    void stored_values_are_read_leniently_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("ram");
        QTest::addColumn<bool>("auto_ram");
        QTest::addColumn<QString>("directory");  // relative to APPDATA when it starts with '~'

        QTest::newRow("array") << QByteArray("[1,2]") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("not json") << QByteArray("{oops") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("whole number")
            << QByteArray(R"({"ram_mb": 8192, "auto_ram": false, "language": "en"})") << "en"
            << 8192 << false << "~/.halvark";
        QTest::newRow("zero ram") << QByteArray(R"({"ram_mb": 0})") << "ru" << 4096 << true
                                  << "~/.halvark";
        QTest::newRow("negative ram")
            << QByteArray(R"({"ram_mb": -5})") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("fractional ram")
            << QByteArray(R"({"ram_mb": 2048.5})") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("ram beyond 32 bits")
            << QByteArray(R"({"ram_mb": 4294967296})") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("ram as text")
            << QByteArray(R"({"ram_mb": "8192"})") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("auto ram as text")
            << QByteArray(R"({"auto_ram": "false"})") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("empty language")
            << QByteArray(R"({"language": ""})") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("language keeps spaces")
            << QByteArray(R"({"language": " en "})") << " en " << 4096 << true << "~/.halvark";
        QTest::newRow("blank directory")
            << QByteArray(R"({"game_directory": "   "})") << "ru" << 4096 << true << "~/.halvark";
        QTest::newRow("directory cleaned")
            << QByteArray(R"({"game_directory": " D:/Games/x/../y "})") << "ru" << 4096 << true
            << "D:/Games/y";
    }
    void stored_values_are_read_leniently() {
        QFETCH(QByteArray, content);
        QFETCH(QString, directory);
        ScopedEnvironment environment;
        write_file(environment.data_path() + "/settings.json", content);
        const SettingsStore settings;
        QTEST(settings.language(), "language");
        QTEST(settings.ram_mb(), "ram");
        QTEST(settings.auto_ram(), "auto_ram");
        QCOMPARE(settings.game_directory(), directory.replace("~", environment.path()));
    }

    void save_fills_defaults_and_keeps_foreign_keys() {
        ScopedEnvironment environment;
        const QString path = environment.data_path() + "/settings.json";
        write_file(path, R"({"theme": "dark", "ram_mb": 9000})");
        QVERIFY(SettingsStore().save("", 0, false, "   ", false));
        const QJsonObject saved = read_object(path);
        QCOMPARE(saved.value("theme").toString(), QString("dark"));
        QCOMPARE(saved.value("language").toString(), QString("ru"));
        QCOMPARE(saved.value("ram_mb").toInt(), 4096);
        QCOMPARE(saved.value("auto_ram").toBool(true), false);
        QCOMPARE(saved.value("server_list_background_enabled").toBool(true), false);
        QCOMPARE(saved.value("game_directory").toString(), environment.path() + "/.halvark");
        QCOMPARE(saved.size(), 6);
    }

    void save_creates_the_data_folder_and_is_read_back() {
        ScopedEnvironment environment;
        const SettingsStore settings;
        QVERIFY(settings.save("en", 6144, false, "/games/./halvark//", true));
        QCOMPARE(settings.language(), QString("en"));
        QCOMPARE(settings.ram_mb(), 6144);
        QCOMPARE(settings.game_directory(), QString("/games/halvark"));
        QFile file(environment.data_path() + "/settings.json");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().contains("\n    \"auto_ram\": false"), "indented, sorted keys");
    }

    void settings_file_that_is_a_folder() {
        ScopedEnvironment environment;
        QVERIFY(QDir().mkpath(environment.data_path() + "/settings.json"));
        const SettingsStore settings;
        QVERIFY(!settings.save("en", 2048, false, "/g", true));
        QCOMPARE(settings.language(), QString("ru"));
        QVERIFY(QFileInfo(environment.data_path() + "/settings.json").isDir());
    }

    void data_folder_that_cannot_be_created() {
        ScopedEnvironment environment;
        write_file(environment.path() + "/.halvark_launcher", "a file, not a folder");
        QVERIFY(!SettingsStore().save("en", 2048, false, "/g", true));
        QVERIFY(!SessionStore().save({"token", 100}));
    }

    void session_round_trip_is_private() {
        ScopedEnvironment environment;
        const SessionStore store;
        QVERIFY(!store.load().has_value());
        QVERIFY(store.clear());
        QVERIFY(store.save({"  tok en  ", 1900000000}));
        const auto loaded = store.load();
        QVERIFY(loaded.has_value());
        QCOMPARE(loaded->access_token, QString("  tok en  "));
        QCOMPARE(loaded->expires_at_unix, 1900000000);
        const QString path = environment.data_path() + "/session.json";
        QCOMPARE(QFile::permissions(path) & ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::Permissions());
        QVERIFY(store.clear());
        QVERIFY(!QFile::exists(path));
    }

    void invalid_session_record_leaves_no_session_data() {
        QTest::addColumn<QString>("token");
        QTest::addColumn<qint64>("expires");
        QTest::newRow("blank token") << "   " << qint64(100);
        QTest::newRow("zero expiry") << "token" << qint64(0);
        QTest::newRow("negative expiry") << "token" << qint64(-3);
    }
    void invalid_session_record_leaves_no_session() {
        QFETCH(QString, token);
        QFETCH(qint64, expires);
        ScopedEnvironment environment;
        const SessionStore store;
        QVERIFY(store.save({"old", 100}));
        QVERIFY(!store.save({token, expires}));
        QVERIFY(!store.load().has_value());
        QCOMPARE(QFileInfo(environment.data_path() + "/session.json").size(), 0);
    }

    void session_file_validity_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint64>("expires");
        QTest::newRow("fraction dropped")
            << QByteArray(R"({"access_token":"t","expires_at_unix":100.9})") << true << qint64(100);
        QTest::newRow("empty token")
            << QByteArray(R"({"access_token":"","expires_at_unix":100})") << false << qint64(0);
        QTest::newRow("missing token")
            << QByteArray(R"({"expires_at_unix":100})") << false << qint64(0);
        QTest::newRow("zero expiry")
            << QByteArray(R"({"access_token":"t","expires_at_unix":0})") << false << qint64(0);
        QTest::newRow("negative expiry")
            << QByteArray(R"({"access_token":"t","expires_at_unix":-1})") << false << qint64(0);
        QTest::newRow("expiry as text")
            << QByteArray(R"({"access_token":"t","expires_at_unix":"100"})") << false << qint64(0);
        QTest::newRow("not json") << QByteArray("garbage") << false << qint64(0);
        QTest::newRow("empty file") << QByteArray() << false << qint64(0);
    }
    void session_file_validity() {
        QFETCH(QByteArray, content);
        QFETCH(bool, valid);
        ScopedEnvironment environment;
        write_file(environment.data_path() + "/session.json", content);
        const auto loaded = SessionStore().load();
        QCOMPARE(loaded.has_value(), valid);
        if (valid) {
            QTEST(loaded->expires_at_unix, "expires");
        }
    }
};

QTEST_GUILESS_MAIN(StoresTest)
#include "test_stores.moc"
