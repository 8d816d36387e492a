#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "diagnostics/session_log.h"
#include "ui/memory_limits.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/settings_screen.h"

using namespace halvark;
using namespace halvark::testing;
using ui::screens::SettingsScreen;

namespace {

struct Saved {
    int calls = 0;
    QString language;
    qint32 ram = 0;
    bool auto_ram = false;
    QString directory;
    bool background = false;
};

QString text_of(const char* key) {
    return app::Translator::instance().tr(key);
}

}  // namespace

class SettingsScreenTest : public QObject {
    Q_OBJECT

    static QSlider* slider(QWidget& screen) { return screen.findChild<QSlider*>(); }
    static QSpinBox* spin(QWidget& screen) { return screen.findChild<QSpinBox*>(); }
    static QComboBox* selector(QWidget& screen) { return screen.findChild<QComboBox*>(); }
    static QTabWidget* tabs(QWidget& screen) { return screen.findChild<QTabWidget*>(); }
    static QLineEdit* directory_field(QWidget& screen) {
        for (QLineEdit* field : screen.findChildren<QLineEdit*>()) {
            if (field->placeholderText() == "~/.halvark") {
                return field;
            }
        }
        return nullptr;
    }
    static QPushButton* button(QWidget& screen, const char* key) {
        for (QPushButton* candidate : screen.findChildren<QPushButton*>()) {
            if (candidate->text() == text_of(key)) {
                return candidate;
            }
        }
        return nullptr;
    }
    static QCheckBox* check(QWidget& screen, const char* key) {
        for (QCheckBox* candidate : screen.findChildren<QCheckBox*>()) {
            if (candidate->text() == text_of(key)) {
                return candidate;
            }
        }
        return nullptr;
    }
    static QLabel* status_line(QWidget& screen) {
        QList<QLabel*> labels;
        for (QLabel* label : screen.findChildren<QLabel*>()) {
            if (label->styleSheet() == "color: #9fb0cc;" && !label->wordWrap()) {
                labels.append(label);
            }
        }
        return labels.value(0);
    }
    static void show_active(QWidget& screen) {
        screen.show();
        screen.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&screen));
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(app::Translator::instance().set_language("en")); }

    void ram_range_data() {
        QTest::addColumn<int>("min");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("value");
        QTest::newRow("maximum below the value") << 1024 << 2048 << 1024 << 2048 << 2048;
        QTest::newRow("inverted and tiny") << 100 << 50 << 256 << 256 << 256;
        QTest::newRow("roomy") << 1024 << 60000 << 1024 << 60000 << 4096;
    }
    void ram_range() {
        QFETCH(int, low);
        QFETCH(int, high);
        SettingsScreen screen;
        QFETCH(int, min);
        QFETCH(int, max);
        screen.set_ram_range(min, max);
        QCOMPARE(slider(screen)->minimum(), low);
        QCOMPARE(slider(screen)->maximum(), high);
        QCOMPARE(spin(screen)->minimum(), low);
        QCOMPARE(spin(screen)->maximum(), high);
        QTEST(spin(screen)->value(), "value");
        QTEST(slider(screen)->value(), "value");
    }

    void slider_and_spin_box_move_together() {
        SettingsScreen screen;
        QCOMPARE(spin(screen)->value(), 4096);
        QCOMPARE(spin(screen)->suffix(), QString(" MB"));
        slider(screen)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(spin(screen)->value(), 4096 + 256);
        spin(screen)->setValue(5000);
        QCOMPARE(slider(screen)->value(), 5000);
        screen.set_ram_mb(99999);
        QCOMPARE(slider(screen)->value(), 32768);
        screen.set_ram_mb(1);
        QCOMPARE(spin(screen)->value(), 1024);
    }

    void auto_ram_disables_the_controls() {
        SettingsScreen screen;
        QList<bool> toggles;
        screen.set_on_auto_ram_toggled([&toggles](bool checked) { toggles.append(checked); });
        screen.set_auto_ram(true);
        QVERIFY(!slider(screen)->isEnabled() && !spin(screen)->isEnabled());
        screen.set_auto_ram(true);  // already checked: still disabled, no second toggle
        QVERIFY(!slider(screen)->isEnabled() && !spin(screen)->isEnabled());
        check(screen, "settings.ram_auto")->click();
        QVERIFY(slider(screen)->isEnabled() && spin(screen)->isEnabled());
        QCOMPARE(toggles, (QList<bool>{true, false}));
    }

    void language_selection() {
        SettingsScreen screen;
        QStringList changes;
        screen.set_on_language_changed([&changes](const QString& code) { changes.append(code); });
        screen.set_language("en");
        screen.set_language("EN");
        screen.set_language("de");
        QCOMPARE(selector(screen)->currentData().toString(), QString("ru"));
        QCOMPARE(changes, (QStringList{"en", "ru"}));
        QCOMPARE(selector(screen)->itemText(1), text_of("language.en"));
    }

    void directory_is_trimmed_and_cleaned_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("dots and doubled separators") << "  /games//x/../y/.  "
                                                     << "/games/y";
        QTest::newRow("blank") << "   "
                               << "";
#ifdef Q_OS_WIN
        QTest::newRow("windows path") << "  D:\\Games\\x\\..\\y  "
                                      << "D:/Games/y";
#else
        QTest::newRow("forward-slashed windows path") << "  D:/Games/x/../y  "
                                                      << "D:/Games/y";
#endif
    }
    void directory_is_trimmed_and_cleaned() {
        QFETCH(QString, typed);
        SettingsScreen screen;
        screen.set_game_directory(typed);
        QTEST(directory_field(screen)->text(), "shown");
        directory_field(screen)->setText(typed);
        QTEST(screen.game_directory(), "shown");
    }

    void save_reports_what_is_shown() {
        SettingsScreen screen;
        QTest::mouseClick(button(screen, "settings.save"), Qt::LeftButton);  // no callback yet
        Saved saved;
        screen.set_on_save([&saved](const QString& language, qint32 ram, bool auto_ram,
                                    const QString& directory, bool background) {
            saved = {saved.calls + 1, language, ram, auto_ram, directory, background};
        });
        screen.set_language("en");
        screen.set_ram_mb(6144);
        screen.set_server_list_background_enabled(false);
        directory_field(screen)->setText("   ");
        QTest::mouseClick(button(screen, "settings.save"), Qt::LeftButton);
        QCOMPARE(saved.calls, 1);
        QCOMPARE(saved.language, QString("en"));
        QCOMPARE(saved.ram, 6144);
        QCOMPARE(saved.auto_ram, false);
        QCOMPARE(saved.directory, QString());
        QCOMPARE(saved.background, false);
    }

    void key_p_toggles_the_debug_tab() {
        SettingsScreen screen;
        show_active(screen);
        QCOMPARE(tabs(screen)->count(), 1);
        QVERIFY(!button(screen, "settings.debug_copy_logs")->isVisible());

        selector(screen)->setFocus();
        QTest::keyClick(selector(screen), Qt::Key_P);
        QCOMPARE(tabs(screen)->count(), 2);
        QCOMPARE(tabs(screen)->currentIndex(), 1);
        QCOMPARE(tabs(screen)->tabText(1), text_of("settings.tab_debug"));

        directory_field(screen)->setFocus();
        QTest::keyClicks(directory_field(screen), "p");
        QCOMPARE(directory_field(screen)->text(), QString("p"));
        QCOMPARE(tabs(screen)->count(), 2);

        selector(screen)->setFocus();
        QTest::keyClick(selector(screen), Qt::Key_P);
        QCOMPARE(tabs(screen)->count(), 1);
        QCOMPARE(tabs(screen)->currentIndex(), 0);
    }

    void force_report_status() {
        SettingsScreen screen;
        show_active(screen);
        selector(screen)->setFocus();
        QTest::keyClick(selector(screen), Qt::Key_P);
        button(screen, "settings.debug_force_report")->click();
        QCOMPARE(status_line(screen)->text(), text_of("settings.debug_force_report_fail"));
        bool answer = true;
        int calls = 0;
        screen.set_on_force_report([&] {
            ++calls;
            return answer;
        });
        button(screen, "settings.debug_force_report")->click();
        QCOMPARE(status_line(screen)->text(), text_of("settings.debug_force_report_ok"));
        answer = false;
        button(screen, "settings.debug_force_report")->click();
        QCOMPARE(status_line(screen)->text(), text_of("settings.debug_force_report_fail"));
        screen.set_signed_in(true);  // signed in, yet not delivered: sign-in is not to blame
        QCOMPARE(status_line(screen)->text(), QString());
        button(screen, "settings.debug_force_report")->click();
        QCOMPARE(status_line(screen)->text(), text_of("settings.debug_force_report_undelivered"));
        screen.set_signed_in(false);  // the next account does not see this one's result
        QCOMPARE(status_line(screen)->text(), QString());
        QCOMPARE(calls, 3);

        QVERIFY(app::Translator::instance().set_language("ru"));
        screen.retranslate();
        QCOMPARE(tabs(screen)->tabText(1), text_of("settings.tab_debug"));
        QCOMPARE(status_line(screen)->text(), QString());
        QVERIFY(app::Translator::instance().set_language("en"));
        screen.retranslate();
    }

    void copy_logs_takes_the_ten_newest() {
        ScopedEnvironment environment;
        SettingsScreen screen;
        QGuiApplication::clipboard()->setText("before");
        QMetaObject::invokeMethod(button(screen, "settings.debug_copy_logs"), "click");
        QCOMPARE(status_line(screen)->text(), text_of("settings.debug_copy_fail"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));

        QDir().mkpath(diagnostics::logs_directory());
        QFile single(diagnostics::logs_directory() + "/single.log");
        QVERIFY(single.open(QIODevice::WriteOnly) && single.write("one") == 3);
        single.close();
        button(screen, "settings.debug_copy_logs")->click();
        QCOMPARE(status_line(screen)->text(), text_of("settings.debug_copy_ok").arg(1));
        QVERIFY(single.remove());

        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i < 12; ++i) {
            QFile file(diagnostics::logs_directory() +
                       QString("/run-%1.log").arg(i, 2, 10, QChar('0')));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QString("log %1").arg(i).toUtf8());
            file.flush();
            QVERIFY(file.setFileTime(now.addSecs(10LL * i), QFileDevice::FileModificationTime));
        }
        button(screen, "settings.debug_copy_logs")->click();
        QCOMPARE(status_line(screen)->text(), text_of("settings.debug_copy_ok").arg(10));
        const QString copied = QGuiApplication::clipboard()->text();
        QCOMPARE(copied.count("===== "), 10);
        QVERIFY(copied.startsWith("===== run-11.log =====\nlog 11\n\n===== run-10.log ====="));
        QVERIFY(copied.contains("log 2") && !copied.contains("log 1\n") &&
                !copied.contains("log 0"));
    }

    void memory_helpers_data() {
        QTest::addColumn<int>("total");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("recommended");
        QTest::newRow("unknown") << 0 << 1024 << 1024;
        QTest::newRow("1 GiB") << 1024 << 1024 << 1024;
        QTest::newRow("4 GiB") << 4096 << 3686 << 3686;
        QTest::newRow("16 GiB") << 16384 << 14745 << 8192;
        QTest::newRow("64 GiB") << 65536 << 58982 << 20480;
    }
    void memory_helpers() {
        QFETCH(int, total);
        QTEST(ui::max_ram_mb(total), "max");
        QTEST(ui::recommended_ram_mb(total), "recommended");
        QVERIFY(ui::total_physical_memory_mb() >= 256);
    }
};

QTEST_MAIN(SettingsScreenTest)
#include "test_settings_screen.moc"
