#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include "app/translator.h"

using halvark::app::Translator;

class TranslatorTest : public QObject {
    Q_OBJECT

    QTemporaryDir working_directory;
    QString original_directory;

    void write_lang(const QString& code, const QByteArray& content) {
        QDir(working_directory.path()).mkpath("lang");
        QFile file(working_directory.path() + "/lang/" + code + ".json");
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

  private Q_SLOTS:
    void initTestCase() {
        original_directory = QDir::currentPath();
        QVERIFY(QDir::setCurrent(working_directory.path()));
    }
    void cleanupTestCase() { QDir::setCurrent(original_directory); }
    void cleanup() { QDir(working_directory.path() + "/lang").removeRecursively(); }

    void keys_are_shown_until_a_table_loads() {
        // Nothing has loaded yet in this process.
        QCOMPARE(Translator::instance().language(), QString("ru"));
        QCOMPARE(Translator::instance().tr("settings.title"), QString("settings.title"));
    }

    void working_directory_wins_over_executable_folder() {
        write_lang("en", R"({"settings.title": "From the working folder"})");
        QVERIFY(Translator::instance().set_language("en"));
        QCOMPARE(Translator::instance().language(), QString("en"));
        QCOMPARE(Translator::instance().tr("settings.title"), QString("From the working folder"));
        QCOMPARE(Translator::instance().tr("auth.login"), QString("auth.login"));
    }

    void deployed_files_are_found_beside_the_build() {
        // build/tests/../lang holds the shipped files.
        QVERIFY(Translator::instance().set_language("ru"));
        QCOMPARE(Translator::instance().tr("auth.login"), QString::fromUtf8("Войти"));
    }

    void unusable_file_keeps_previous_language_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("array") << QByteArray(R"(["settings.title"])");
        QTest::newRow("not json") << QByteArray("settings.title = Settings");
        QTest::newRow("empty file stops the search") << QByteArray();
        QTest::newRow("no string at top level")
            << QByteArray(R"({"count": 3, "settings": {"title": "Nested"}})");
    }
    void unusable_file_keeps_previous_language() {
        QFETCH(QByteArray, content);
        QVERIFY(Translator::instance().set_language("ru"));
        // An "en" file exists beside the build too: the first one found decides.
        write_lang("en", content);
        QVERIFY(!Translator::instance().set_language("en"));
        QCOMPARE(Translator::instance().language(), QString("ru"));
        QCOMPARE(Translator::instance().tr("auth.login"), QString::fromUtf8("Войти"));
    }

    void empty_text_is_a_valid_translation() {
        write_lang("xx", R"({"settings.title": "", "other": 5})");
        QVERIFY(Translator::instance().set_language("xx"));
        QCOMPARE(Translator::instance().tr("settings.title"), QString(""));
        QCOMPARE(Translator::instance().tr("other"), QString("other"));
    }

    void shipped_files_have_every_key_and_placeholder() {
        QFile en_file(HALVARK_SOURCE_DIR "/lang/en.json");
        QFile ru_file(HALVARK_SOURCE_DIR "/lang/ru.json");
        QVERIFY(en_file.open(QIODevice::ReadOnly) && ru_file.open(QIODevice::ReadOnly));
        const QJsonObject en = QJsonDocument::fromJson(en_file.readAll()).object();
        const QJsonObject ru = QJsonDocument::fromJson(ru_file.readAll()).object();
        QCOMPARE(en.keys(), ru.keys());
        QCOMPARE(en.size(), 64);
        const QList<QPair<QString, int>> placeholders = {
            {"profile.flags_template", 4},  {"profile.role_suffix_template", 3},
            {"profile.server_fallback", 1}, {"profile.roles_more", 1},
            {"settings.debug_copy_ok", 1},
        };
        for (const QJsonObject& table : {en, ru}) {
            for (const auto& [key, count] : placeholders) {
                for (int n = 1; n <= count; ++n) {
                    QVERIFY2(table.value(key).toString().contains(QString("%%1").arg(n)),
                             qPrintable(key));
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TranslatorTest)
#include "test_translator.moc"
