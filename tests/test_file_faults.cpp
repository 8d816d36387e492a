// The data folder misbehaves: nothing crashes and stored settings are never lost.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include "account_fixture.h"
#include "diagnostics/session_log.h"
#include "storage/session_store.h"
#include "storage/settings_store.h"

using namespace halvark;
using namespace halvark::testing;

class FileFaultsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    QString mount_point;

    QString data() const { return fixture->environment.data_path(); }
    // A tiny tmpfs as the data folder, where the machine lets us mount one.
    bool mount_small_disk(const QString& options) {
        mount_point = data();
        QDir().mkpath(mount_point);
        return QProcess::execute("mount", {"-t", "tmpfs", "-o", options, "tmpfs", mount_point}) ==
               0;
    }

  private Q_SLOTS:
    void init() { fixture = std::make_unique<AccountFixture>(); }
    void cleanup() {
        if (!mount_point.isEmpty()) {
            QProcess::execute("umount", {mount_point});
            mount_point.clear();
        }
        fixture.reset();
    }

    void data_folder_is_a_file() {
        QFile blocker(data());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto window = fixture->make_window();
        window->open_settings();
        window->save_settings("en", 2048, false, "/games", false);
        QVERIFY(!storage::SessionStore().save({"tok", 100}));
        QVERIFY(storage::SessionStore().clear());
        QCOMPARE(storage::SettingsStore().ram_mb(), 4096);
        QVERIFY(QFileInfo(data()).isFile());
    }

    void stored_files_are_folders() {
        QVERIFY(QDir().mkpath(data() + "/settings.json"));
        QVERIFY(QDir().mkpath(data() + "/session.json"));
        auto window = fixture->make_window();  // no session to resume, defaults apply
        QVERIFY(!storage::SessionStore().load().has_value());
        QVERIFY(!storage::SessionStore().save({"tok", 100}));
        QVERIFY(!storage::SessionStore().clear());
        QVERIFY(!storage::SettingsStore().save("en", 2048, false, "/g", true));
        QCOMPARE(storage::SettingsStore().language(), QString("ru"));
        QVERIFY(QFileInfo(data() + "/settings.json").isDir());
    }

    // Special files where the stores expect small regular ones: defaults, no hang, no flood.
    void stored_files_are_special_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        for (const char* name : {"settings.json", "session.json"}) {
            QTest::newRow(qPrintable(QString("%1 links to /dev/zero").arg(name))) << name << "zero";
            QTest::newRow(qPrintable(QString("%1 is a FIFO").arg(name))) << name << "fifo";
            QTest::newRow(qPrintable(QString("%1 is over 1 MiB").arg(name))) << name << "large";
        }
    }
    void stored_files_are_special() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QVERIFY(QDir().mkpath(data()));
        const QString path = data() + '/' + name;
        if (kind == "zero") {
            QVERIFY(QFile::link("/dev/zero", path));
        } else if (kind == "fifo") {
            QCOMPARE(QProcess::execute("mkfifo", {path}), 0);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray valid = R"({"language":"en","ram_mb":2048,"access_token":"t",)"
                                     R"("expires_at_unix":9999999999})";
            file.write(valid.left(valid.size() - 1) + QByteArray(1 << 20, ' ') + '}');
        }
        auto window = fixture->make_window();
        QVERIFY(!storage::SessionStore().load().has_value());
        QCOMPARE(storage::SettingsStore().language(), QString("ru"));
        QCOMPARE(storage::SettingsStore().ram_mb(), 4096);
    }

    void logs_folder_holds_only_our_logs() {
        QVERIFY(QDir().mkpath(diagnostics::logs_directory()));
        const QString secret = fixture->environment.path() + "/secret.txt";
        QFile file(secret);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("top secret") > 0);
        file.close();
        QVERIFY(QFile::link(secret, diagnostics::logs_directory() + "/linked.log"));
        QCOMPARE(QProcess::execute("mkfifo", {diagnostics::logs_directory() + "/fifo.log"}), 0);
        QFile own(diagnostics::logs_directory() + "/own.log");
        QVERIFY(own.open(QIODevice::WriteOnly) && own.write("our line") > 0);
        own.close();
        const QString collected = diagnostics::collect_log_text(10);
        QVERIFY(collected.contains("our line"));
        QVERIFY(!collected.contains("secret"));
        QVERIFY(!collected.contains("fifo.log"));
    }

    void full_disk_keeps_the_previous_settings() {
        if (!mount_small_disk("size=64k")) {
            QSKIP("no permission to mount a small tmpfs here");
        }
        const storage::SettingsStore settings;
        QVERIFY(settings.save("en", 6144, false, "/games/first", true));
        // Fill every last page, in files of one page each.
        for (int i = 0; i < 64; ++i) {
            QFile filler(data() + QString("/filler-%1").arg(i));
            if (!filler.open(QIODevice::WriteOnly) || filler.write(QByteArray(4096, 'x')) != 4096 ||
                !filler.flush()) {
                break;
            }
        }
        QVERIFY(!settings.save("ru", 2048, true, "/games/second", false));
        QCOMPARE(settings.language(), QString("en"));
        QCOMPARE(settings.ram_mb(), 6144);
        QCOMPARE(settings.game_directory(), QString("/games/first"));
        QVERIFY(!storage::SessionStore().save({"tok", 100}));
        diagnostics::start_session_log();  // no room for a log either: silently none
        diagnostics::append_log_line("[info] nowhere to go");
    }

    void read_only_data_folder() {
        if (!mount_small_disk("size=256k")) {
            QSKIP("no permission to mount a small tmpfs here");
        }
        QVERIFY(storage::SettingsStore().save("en", 6144, false, "/games", true));
        QVERIFY(storage::SessionStore().save({"tok", QDateTime::currentSecsSinceEpoch() + 600}));
        QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", mount_point}), 0);
        auto window = fixture->make_window();  // resumes from the read-only folder
        window->open_settings();
        window->save_settings("ru", 2048, false, "/elsewhere", false);
        QCOMPARE(storage::SettingsStore().language(), QString("en"));
        window->handle_sign_out();  // cannot remove the session file: still signed out here
        QVERIFY(storage::SessionStore().load().has_value());
    }
};

QTEST_MAIN(FileFaultsTest)
#include "test_file_faults.moc"
