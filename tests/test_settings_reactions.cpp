#include <QDir>
#include <QFile>
#include <QFrame>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSpinBox>
#include <QStackedWidget>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "storage/settings_store.h"
#include "ui/memory_limits.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/settings_screen.h"

using namespace halvark;
using namespace halvark::testing;

// The main window's answers to the settings screen, through a real settings.json.
class SettingsReactionsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    std::unique_ptr<ui::MainWindow> window;
    const qint32 total = ui::total_physical_memory_mb();

    QString settings_path() const { return fixture->environment.data_path() + "/settings.json"; }
    void write_settings(const QByteArray& content) {
        QDir().mkpath(fixture->environment.data_path());
        QFile file(settings_path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QByteArray settings_bytes() const {
        QFile file(settings_path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    ui::screens::SettingsScreen* settings_screen() {
        return find_widget<ui::screens::SettingsScreen>(window.get());
    }
    QStackedWidget* screen_stack() {
        return qobject_cast<QStackedWidget*>(settings_screen()->parentWidget());
    }
    QSpinBox* ram_box() { return settings_screen()->findChild<QSpinBox*>(); }

  private Q_SLOTS:
    void init() {
        fixture = std::make_unique<AccountFixture>();
        app::Translator::instance().set_language("ru");
    }
    void cleanup() {
        window.reset();
        fixture.reset();
    }

    void opening_shows_stored_values_within_limits_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("shown");
        QTest::newRow("auto ignores the stored value")
            << QByteArray(R"({"auto_ram":true,"ram_mb":2048})") << -1;
        QTest::newRow("manual value") << QByteArray(R"({"auto_ram":false,"ram_mb":2048})") << 2048;
        QTest::newRow("manual value too small")
            << QByteArray(R"({"auto_ram":false,"ram_mb":300})") << 1024;
        QTest::newRow("manual value too large")
            << QByteArray(R"({"auto_ram":false,"ram_mb":2000000})") << -2;
    }
    void opening_shows_stored_values_within_limits() {
        QFETCH(QByteArray, stored);
        QFETCH(int, shown);
        write_settings(stored);
        window = fixture->make_window();
        window->open_settings();
        QCOMPARE(screen_stack()->currentIndex(), 2);
        QCOMPARE(ram_box()->maximum(), ui::max_ram_mb(total));
        const int expected = shown == -1   ? ui::recommended_ram_mb(total)
                             : shown == -2 ? ui::max_ram_mb(total)
                                           : shown;
        QCOMPARE(ram_box()->value(), expected);
    }

    void ticking_auto_ram_sets_the_recommendation() {
        write_settings(R"({"auto_ram":false,"ram_mb":1024})");
        window = fixture->make_window();
        window->open_settings();
        window->apply_auto_ram(true);
        QCOMPARE(ram_box()->value(), ui::recommended_ram_mb(total));
        window->apply_auto_ram(false);
        QCOMPARE(ram_box()->value(), ui::recommended_ram_mb(total));
    }

    void saving_without_changes_writes_nothing() {
        const QByteArray compact =
            QString(R"({"auto_ram":false,"game_directory":"%1","language":"ru","ram_mb":2048,)"
                    R"("server_list_background_enabled":true})")
                .arg(storage::default_game_directory())
                .toUtf8();
        write_settings(compact);
        window = fixture->make_window();
        window->open_settings();
        window->save_settings("ru", 2048, false, storage::default_game_directory() + "/", true);
        QCOMPARE(settings_bytes(), compact);
        QCOMPARE(screen_stack()->currentIndex(), 0);
    }

    void saving_clamps_and_normalises_data() {
        QTest::addColumn<int>("ram");
        QTest::addColumn<QString>("directory");
        QTest::addColumn<int>("stored_ram");
        QTest::addColumn<QString>("stored_directory");
        QTest::newRow("too little memory")
            << 500 << " /games//halvark/./ " << 1024 << "/games/halvark";
        QTest::newRow("too much memory") << 9999999 << "/a/b/../c" << -1 << "/a/c";
        QTest::newRow("blank directory") << 2048 << "   " << 2048 << "default";
    }
    void saving_clamps_and_normalises() {
        QFETCH(int, ram);
        QFETCH(QString, directory);
        QFETCH(int, stored_ram);
        QFETCH(QString, stored_directory);
        window = fixture->make_window();
        window->open_settings();
        window->save_settings("ru", ram, false, directory, false);
        const storage::SettingsStore store;
        QCOMPARE(store.ram_mb(), stored_ram == -1 ? ui::max_ram_mb(total) : stored_ram);
        QCOMPARE(store.game_directory(), stored_directory == "default"
                                             ? storage::default_game_directory()
                                             : stored_directory);
        QVERIFY(!store.server_list_background_enabled());
        QVERIFY(!store.auto_ram());
        QCOMPARE(screen_stack()->currentIndex(), 0);
        auto* background = find_widget<ui::screens::LaunchScreen>(window.get())
                               ->findChild<QLabel*>("server_profile_background");
        QVERIFY(background->isHidden());
    }

    void language_without_a_file_refuses_the_save() {
        write_settings(R"({"language":"ru","ram_mb":2048,"auto_ram":false})");
        const QByteArray before = settings_bytes();
        window = fixture->make_window();
        window->open_settings();
        window->save_settings("xx", 4096, false, "/elsewhere", true);
        QCOMPARE(settings_bytes(), before);
        QCOMPARE(screen_stack()->currentIndex(), 2);
        QCOMPARE(app::Translator::instance().language(), QString("ru"));
    }

    void saved_language_applies_at_once_and_at_next_start() {
        window = fixture->make_window();
        window->open_settings();
        window->save_settings("en", 2048, false, "", true);
        QCOMPARE(app::Translator::instance().language(), QString("en"));
        QCOMPARE(settings_screen()->findChild<QLabel*>()->text(), app::tr("settings.title"));
        QCOMPARE(app::tr("settings.title"), QString("Settings"));
        app::Translator::instance().set_language("ru");
        window = fixture->make_window();
        QCOMPARE(app::Translator::instance().language(), QString("en"));
    }

    void live_language_change_lasts_until_restart() {
        window = fixture->make_window();
        window->open_settings();
        window->change_language("en");
        QCOMPARE(app::Translator::instance().language(), QString("en"));
        QCOMPARE(window->windowTitle(), QString("Halvark Launcher"));
        window->change_language("xx");  // no file: nothing happens
        QCOMPARE(app::Translator::instance().language(), QString("en"));
        QVERIFY(!QFile::exists(settings_path()));
        window = fixture->make_window();  // next start: saved (default) language
        QCOMPARE(app::Translator::instance().language(), QString("ru"));
    }
};

QTEST_MAIN(SettingsReactionsTest)
#include "test_settings_reactions.moc"
