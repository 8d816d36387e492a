// settings.json and session.json: lenient reading, atomic and private writing, and a data
// folder that misbehaves (special files, folders in the way, linked logs, a full disk).
#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include "diagnostics/session_log.h"
#include "storage/cache_folder.h"
#include "storage/data_folder.h"
#include "storage/session_store.h"
#include "storage/settings_store.h"
#include "test_support.h"

using namespace halvark;
using namespace halvark::storage;
using halvark::testing::ScopedEnvironment;

class StoresTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScopedEnvironment> environment;
    QString mount_point;

    QString data(const QString& name = QString()) const { return environment->data_path() + name; }
    void write(const QString& name, const QByteArray& content) {
        QVERIFY(testing::write_file(data(name), content));
    }
    // A tiny tmpfs as the data folder, where the machine lets us mount one.
    bool mount_small_disk(const QString& options) {
        mount_point = data();
        QDir().mkpath(mount_point);
        return QProcess::execute("mount", {"-t", "tmpfs", "-o", options, "tmpfs", mount_point}) ==
               0;
    }

  private Q_SLOTS:
    void init() { environment = std::make_unique<ScopedEnvironment>(); }
    void cleanup() {
        if (!mount_point.isEmpty()) {
            QProcess::execute("umount", {mount_point});
            mount_point.clear();
        }
        environment.reset();
    }

    void settings_are_read_leniently() {
        const SettingsStore settings;
        QCOMPARE(settings.game_directory(), environment->path() + "/.halvark");
        QCOMPARE(launcher_data_directory(), data());
        for (const auto& [content, language, ram, automatic] :
             {std::tuple{"[1,2]", "ru", 4096, true},
              {R"({"ram_mb":8192,"auto_ram":false,"language":"en"})", "en", 8192, false},
              {R"({"ram_mb":2048.5,"auto_ram":"false"})", "ru", 4096, true},
              {R"({"ram_mb":4294967296,"language":" en "})", " en ", 4096, true}}) {
            write("/settings.json", content);
            QCOMPARE(settings.language(), QString(language));
            QCOMPARE(settings.ram_mb(), ram);
            QCOMPARE(settings.auto_ram(), automatic);
        }
        write("/settings.json", R"({"game_directory":" D:/Games/x/../y "})");
        QCOMPARE(settings.game_directory(), QString("D:/Games/y"));
    }

    void settings_save_fills_defaults_and_keeps_foreign_keys() {
        write("/settings.json", R"({"theme":"dark","ram_mb":9000})");
        QVERIFY(SettingsStore().save("", 0, false, "   ", false));
        const QByteArray content = testing::read_file(data("/settings.json"));
        QVERIFY2(content.contains("\n    \"auto_ram\": false"), "indented, sorted keys");
        const QJsonObject saved = QJsonDocument::fromJson(content).object();
        QCOMPARE(saved, (QJsonObject{{"theme", "dark"},
                                     {"language", "ru"},
                                     {"ram_mb", 4096},
                                     {"auto_ram", false},
                                     {"server_list_background_enabled", false},
                                     {"game_directory", environment->path() + "/.halvark"}}));
    }

    void session_round_trip_is_private() {
        const SessionStore store;
        QVERIFY(!store.load().has_value() && store.clear());
        QVERIFY(store.save({"tok-EN.9_~+/==", 1900000000}));
        QCOMPARE(store.load()->access_token, QString("tok-EN.9_~+/=="));
#ifndef Q_OS_WIN  // there the profile folder's access rights keep it private, not mode bits
        QCOMPARE(QFile::permissions(data("/session.json")) &
                     ~(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                       QFileDevice::WriteUser),
                 QFileDevice::Permissions());
#endif
        QVERIFY(store.clear() && !QFile::exists(data("/session.json")));
        for (const auto& [content, expires] :
             {std::pair{R"({"access_token":"t","expires_at_unix":100.9})", 100},
              {R"({"access_token":"","expires_at_unix":100})", 0},
              {R"({"access_token":"t","expires_at_unix":"100"})", 0},
              // tokens that would add to a header or smuggle a request
              {R"({"access_token":" t ","expires_at_unix":100})", 0},
              {R"({"access_token":"t\r\nX-Evil: 1","expires_at_unix":100})", 0},
              {R"({"access_token":"t\u0000\r\n","expires_at_unix":100})", 0},
              {R"({"access_token":"t\n\r\nGET /other HTTP/1.1","expires_at_unix":100})", 0}}) {
            write("/session.json", content);
            QCOMPARE(store.load().value_or(SavedSession{}).expires_at_unix, expires);
        }
    }

    // A Windows profile folder: backslashes and a user name that is not ASCII.
    void stores_live_in_any_profile_folder() {
        const QString profile = environment->path() + QString::fromUtf8("/Дмитрий/AppData");
        testing::set_environment("APPDATA", QDir::toNativeSeparators(profile));
        QCOMPARE(launcher_data_directory(), profile + "/.halvark_launcher");
        QCOMPARE(default_game_directory(), profile + "/.halvark");
        QVERIFY(SettingsStore().save("en", 2048, false, "", true));
        QVERIFY(SessionStore().save({"tok", 1900000000}));
        QCOMPARE(SettingsStore().language(), QString("en"));
        QCOMPARE(SettingsStore().game_directory(), profile + "/.halvark");
        QCOMPARE(SessionStore().load()->access_token, QString("tok"));
        QVERIFY(QFile::exists(profile + "/.halvark_launcher/session.json"));
#ifndef Q_OS_WIN
        // Bytes that are no UTF-8: the folder they name, not one with U+FFFD in its name.
        const QByteArray bytes = QFile::encodeName(environment->path()) + "/caf\xe9-\xff";
        qputenv("APPDATA", bytes);
        QVERIFY(SessionStore().save({"tok-2", 1900000000}));
        QCOMPARE(SessionStore().load()->access_token, QString("tok-2"));
        struct stat saved {};
        QCOMPARE(::stat(bytes + "/.halvark_launcher/session.json", &saved), 0);
        QVERIFY(!QDir(environment->path()).entryList().join("").contains(QChar(0xfffd)));
#endif
    }

    // Special files where the stores expect small regular ones: defaults, no hang, no flood.
    void stored_files_are_special_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        for (const char* name : {"settings.json", "session.json"}) {
            for (const char* kind : {"zero", "fifo", "large", "folder"}) {
                QTest::newRow(qPrintable(QString("%1 %2").arg(name, kind))) << name << kind;
            }
        }
    }
    void stored_files_are_special() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QVERIFY(QDir().mkpath(data()));
        const QString path = data('/' + name);
        if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (kind == "fifo") {
#ifdef Q_OS_WIN
            QSKIP("no FIFOs on Windows");
#endif
            QCOMPARE(QProcess::execute("mkfifo", {path}), 0);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            write('/' + name,
                  "{\"language\":\"en\",\"access_token\":\"t\",\"expires_at_unix\":9999999999,"
                  "\"x\":\"" +
                      QByteArray(1 << 20, ' ') + "\"}");
        }
        QVERIFY(!SessionStore().load().has_value());  // no session, default settings
        QCOMPARE(SettingsStore().language(), QString("ru"));
        if (kind == "folder") {
            QVERIFY(name == "session.json" ? !SessionStore().save({"tok", 100})
                                           : !SettingsStore().save("en", 2048, false, "/g", true));
        }
    }

    // The picture caches' sweep touches nothing of the player's: not through a link at any
    // level, not beside the caches' own entries.
    void cache_sweep_keeps_the_players_files_data() {
        QTest::addColumn<QString>("link");  // which of the caches' folders leads elsewhere
        QTest::addColumn<bool>("usable");
        QTest::newRow("root") << "" << false;
        QTest::newRow("a cache") << "/news_images" << false;
        QTest::newRow("its data folder") << "/news_images/data8" << false;
        QTest::newRow("a bucket") << "/news_images/data8/3" << true;
        QTest::newRow("no link") << "-" << true;
    }
    void cache_sweep_keeps_the_players_files() {
        QFETCH(QString, link);
        QFETCH(bool, usable);
#ifdef Q_OS_WIN
        QSKIP("no FIFOs on Windows");
#endif
        const QString root = cache_directory();
        const QString player = environment->path() + "/player";
        const QStringList planted{"/big.bin",       "/sub/big.bin", "/link",  "/fifo",
                                  "/conf.d/a.conf", "/7a.d",        "/7b.d/x"};
        for (const QString& name : planted) {
            QVERIFY(testing::write_file(player + name, "mine"));
        }
        QVERIFY(QFile::resize(player + "/big.bin", 40 << 20) &&
                QFile::resize(player + "/sub/big.bin", 40 << 20));
        QVERIFY(QFile::remove(player + "/link") &&
                QFile::link(player + "/big.bin", player + "/link"));
        QVERIFY(QFile::remove(player + "/fifo") &&
                QProcess::execute("mkfifo", {player + "/fifo"}) == 0);
        const QString bucket = root + "/news_images/data8/5";
        if (link == "-") {  // the player's files beside the cache's entries
            QVERIFY(QDir().mkpath(bucket) && QDir().rename(player, root + "/player"));
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(root + link).path()) &&
                    QFile::link(player, root + link));
        }
        QVERIFY(testing::write_file(bucket + "/notes.txt", "mine") &&
                QFile::resize(bucket + "/notes.txt", 40 << 20));
        QVERIFY(testing::write_file(bucket + "/ab12.d", "too big") &&
                QFile::resize(bucket + "/ab12.d", 40 << 20));
        QVERIFY(QProcess::execute("mkfifo", {bucket + "/-zz9.d.Ab3xY9"}) == 0);
        QVERIFY(QDir().mkpath(bucket + "/ok.d/inner") &&
                testing::write_file(bucket + "/fine.d", "a picture"));

        QCOMPARE(prepare_cache_folder(root, "news_images", 33 << 20), usable);
        const QString kept = link == "-" ? root + "/player" : player;
        for (const QString& name : planted) {
            QVERIFY2(QFileInfo(kept + name).isSymLink() || QFileInfo::exists(kept + name),
                     qPrintable(name));
        }
        QCOMPARE(QFileInfo(kept + "/big.bin").size(), 40 << 20);
        QVERIFY(link == "-" || QFileInfo(root + link).isSymLink() == !usable);
        if (usable) {  // the bucket's own unsafe entries went, the player's note stayed
            QCOMPARE(QDir(bucket).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
                     QStringList({"fine.d", "notes.txt"}));
        }
    }

    void logs_folder_holds_only_our_logs() {
        const QString logs = storage::logs_directory();
        QVERIFY(testing::write_file(environment->path() + "/secret.txt", "top secret") &&
                testing::write_file(logs + "/own.log", "our line"));
        QVERIFY(QFile::link(environment->path() + "/secret.txt", logs + "/linked.log"));
#ifndef Q_OS_WIN
        QCOMPARE(QProcess::execute("mkfifo", {logs + "/fifo.log"}), 0);
#endif
        const QString collected = diagnostics::collect_log_text(10);
        QVERIFY(collected.contains("our line") && !collected.contains("top secret"));
    }

    // A long-lived install piles up logs: the newest are found by their time, not their name.
    void newest_logs_among_many() {
        const QString logs = storage::logs_directory();
        const QDateTime base = QDateTime::currentDateTimeUtc().addDays(-30);
        const auto log = [&](const QString& name, qint64 age) {
            QFile file(logs + '/' + name + ".log");
            QVERIFY(testing::write_file(file.fileName(), "x") && file.open(QIODevice::Append));
            QVERIFY(file.setFileTime(base.addSecs(age), QFileDevice::FileModificationTime));
        };
        for (int i = 0; i < 3000; ++i) {  // other names, their ages a shuffle of 0..2999
            log(QString::number(i), (i * 7) % 3000);
        }
        // Names that look newer than they are: a far-off year, other digits, a clock an hour
        // ahead. Only the times count.
        const QString current = base.toString("yyyy-MM-dd_HH-mm-ss");
        for (const QString& name :
             {QString("9999-12-31_23-59-59"), QString::fromUtf8("٩٩٩٩-١٢-٣١_٢٣-٥٩-٥٩"),
              base.addSecs(3600).toString("yyyy-MM-dd_HH-mm-ss")}) {
            log(name, 100);
        }
        for (int year = 9980; year < 9999; ++year) {
            log(QString("%1-01-01_00-00-00").arg(year), 200);
        }
        log(current, 5000);
        qint32 collected = 0;
        const QString text = diagnostics::collect_log_text(3, &collected);
        QCOMPARE(collected, 3);
        QCOMPARE(text.split('\n').filter("=====").join(','),  // 7i % 3000 = 2999, 2998
                 "===== " + current + ".log =====,===== 857.log =====,===== 1714.log =====");
    }

    void full_disk_keeps_the_previous_settings() {
        if (!mount_small_disk("size=64k")) {
            QSKIP("no permission to mount a small tmpfs here");
        }
        const SettingsStore settings;
        QVERIFY(settings.save("en", 6144, false, "/games/first", true));
        for (int i = 0; i < 64; ++i) {  // fill every last page
            QFile filler(data(QString("/filler-%1").arg(i)));
            if (!filler.open(QIODevice::WriteOnly) || filler.write(QByteArray(4096, 'x')) != 4096 ||
                !filler.flush()) {
                break;
            }
        }
        QVERIFY(!settings.save("ru", 2048, true, "/games/second", false));
        QCOMPARE(settings.ram_mb(), 6144);
        QCOMPARE(settings.game_directory(), QString("/games/first"));
        QVERIFY(!SessionStore().save({"tok", 100}));
    }
};

QTEST_MAIN(StoresTest)
#include "test_stores.moc"
