// The settings screen: memory controls and limits, language, folder, save, the debug tab.
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include "app/translator.h"
#include "diagnostics/session_log.h"
#include "storage/data_folder.h"
#include "test_support.h"
#include "ui/memory_limits.h"
#include "ui/screens/settings_screen.h"

using namespace halvark;
using ui::screens::SettingsScreen;

class SettingsScreenTest : public QObject {
    Q_OBJECT

    std::unique_ptr<SettingsScreen> screen;

    QSlider* slider() { return screen->findChild<QSlider*>(); }
    QSpinBox* spin() { return screen->findChild<QSpinBox*>(); }
    QLineEdit* folder() { return screen->findChildren<QLineEdit*>().last(); }
    QPushButton* button(const char* key) {
        const auto all = screen->findChildren<QPushButton*>();
        return *std::find_if(all.begin(), all.end(),
                             [key](auto* b) { return b->text() == app::tr(key); });
    }
    QString status() {
        for (QLabel* label : screen->findChildren<QLabel*>()) {
            if (label->styleSheet() == "color: #9fb0cc;" && !label->wordWrap()) {
                return label->text();
            }
        }
        return "?";
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(app::Translator::instance().set_language("en")); }
    void init() { screen = std::make_unique<SettingsScreen>(); }

    void memory_controls_and_limits() {
        screen->set_ram_range(100, 50);  // the floor holds, and the spin box follows
        QVERIFY(slider()->minimum() == 256 && spin()->maximum() == 256 && slider()->value() == 256);
        for (const auto& [total, max, recommended] : {std::tuple{0, 1024, 1024},
                                                      {4096, 3686, 3686},
                                                      {16384, 14745, 8192},
                                                      {65536, 58982, 20480}}) {
            QCOMPARE(ui::max_ram_mb(total), max);
            QCOMPARE(ui::recommended_ram_mb(total), recommended);
        }
    }

    void save_reports_what_is_shown() {
        QStringList changes, saved;
        screen->set_on_language_changed([&changes](const QString& code) { changes.append(code); });
        screen->set_on_save([&saved](const QString& language, qint32 ram, bool automatic,
                                     const QString& directory, bool background) {
            saved << language << QString::number(ram) << QString::number(automatic) << directory
                  << QString::number(background);
        });
        screen->set_language("en");
        screen->set_language("de");  // unknown: the first entry
        screen->set_game_directory("  /games//x/../y/.  ");
        QCOMPARE(folder()->text(), QString("/games/y"));
        screen->set_ram_mb(6144);
        screen->set_server_list_background_enabled(false);
        button("settings.save")->click();
        QCOMPARE(changes, (QStringList{"en", "ru"}));
        QCOMPARE(saved, (QStringList{"ru", "6144", "0", "/games/y", "0"}));
    }

    // Escape on the open language list closes only the list; the next Escape leaves.
    void escape_closes_an_open_list_first() {
        int backs = 0;
        screen->set_on_back([&backs] { ++backs; });
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
        auto* language = screen->findChild<QComboBox*>();
        language->setFocus();
        language->showPopup();
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget() != nullptr,
                                 testing::kPatienceMs);
        QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(QApplication::activePopupWidget() == nullptr,
                                 testing::kPatienceMs);
        QCOMPARE(backs, 0);
        QTest::keyClick(language, Qt::Key_Escape);
        QCOMPARE(backs, 1);
    }

    void copy_logs_takes_the_ten_newest() {
        testing::ScopedEnvironment environment;
        QGuiApplication::clipboard()->setText("before");
        button("settings.debug_copy_logs")->click();
        QCOMPARE(status(), app::tr("settings.debug_copy_fail"));
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("before"));
        QDir().mkpath(storage::logs_directory());
        const QDateTime now = QDateTime::currentDateTime();
        for (int i = 0; i <= 12; ++i) {  // the newest is no log
            QFile file(storage::logs_directory() +
                       QString(i < 12 ? "/run-%1.log" : "/notes-%1.txt").arg(i));
            QVERIFY(file.open(QIODevice::WriteOnly) &&
                    file.write(QString("log %1").arg(i).toUtf8()));
            file.close();
            QVERIFY(file.open(QIODevice::Append));
            QVERIFY(file.setFileTime(now.addSecs(10LL * i), QFileDevice::FileModificationTime));
        }
        button("settings.debug_copy_logs")->click();
        QCOMPARE(status(), app::tr("settings.debug_copy_ok").arg(10));
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.startsWith("===== run-11.log =====\nlog 11\n\n===== run-10.log ====="));
        QVERIFY(copied.contains("log 2") && !copied.contains("log 1\n") && !copied.contains("12"));
    }
};

QTEST_MAIN(SettingsScreenTest)
#include "test_settings_screen.moc"
