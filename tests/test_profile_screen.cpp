#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QtTest>

#include "app/translator.h"
#include "ui/screens/profile_screen.h"

using halvark::app::Translator;
using halvark::ui::screens::ProfileScreen;

namespace {

QString text_of(const char* key) {
    return Translator::instance().tr(key);
}

QJsonObject object(const QByteArray& json) {
    return QJsonDocument::fromJson(json).object();
}

}  // namespace

class ProfileScreenTest : public QObject {
    Q_OBJECT

    // Labels in construction order: title, name, e-mail, uuid, role, money, flags, roles title.
    static QLabel* line(ProfileScreen& screen, int index) {
        return screen.findChildren<QLabel*>().at(index);
    }
    static QStringList role_entries(ProfileScreen& screen) {
        auto* list = screen.findChild<QListWidget*>();
        QStringList entries;
        for (int row = 0; row < list->count(); ++row) {
            QWidget* row_widget = list->itemWidget(list->item(row));
            entries.append(row_widget != nullptr ? row_widget->findChild<QLabel*>()->text()
                                                 : list->item(row)->text());
        }
        return entries;
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(Translator::instance().set_language("en")); }

    void empty_user_shows_placeholders() {
        ProfileScreen screen;
        QCOMPARE(line(screen, 0)->text(), text_of("profile.title"));
        QCOMPARE(line(screen, 1)->text(), text_of("profile.nickname_prefix") + " -");
        QCOMPARE(line(screen, 2)->text(), text_of("profile.email_prefix") + " -");
        QCOMPARE(line(screen, 3)->text(), text_of("profile.uuid_prefix") + " -");
        QCOMPARE(line(screen, 4)->text(), text_of("profile.role_prefix") + " -");
        QCOMPARE(line(screen, 5)->text(), text_of("profile.money_prefix") + " 0 shards");
        QCOMPARE(line(screen, 6)->text(), text_of("profile.flags_template")
                                              .arg(text_of("profile.no"), text_of("profile.no"),
                                                   text_of("profile.no"), text_of("profile.no")));
        QCOMPARE(role_entries(screen), QStringList{text_of("profile.roles_empty")});
    }

    void name_email_and_uuid_data() {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QString>("display_name");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("email");
        QTest::newRow("display name used") << QByteArray(R"({"email":""})") << " Shown "
                                           << "Shown"
                                           << "";
        QTest::newRow("nickname wins")
            << QByteArray(R"({"nickname":" Rook ","email":null})") << "Shown"
            << "Rook"
            << "-";
        QTest::newRow("markup stays text")
            << QByteArray(R"({"nickname":"<i>x</i>","email":"a&b@c"})") << ""
            << "<i>x</i>"
            << "a&b@c";
    }
    void name_email_and_uuid() {
        QFETCH(QByteArray, user);
        QFETCH(QString, display_name);
        QFETCH(QString, name);
        QFETCH(QString, email);
        ProfileScreen screen;
        screen.set_display_name(display_name);
        screen.set_user(object(user));
        QCOMPARE(line(screen, 1)->text(), text_of("profile.nickname_prefix") + ' ' + name);
        QCOMPARE(line(screen, 2)->text(), text_of("profile.email_prefix") + ' ' + email);
        QCOMPARE(line(screen, 1)->textFormat(), Qt::PlainText);
        QCOMPARE(line(screen, 2)->textFormat(), Qt::PlainText);
    }

    void role_colour_data() {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Qt::TextFormat>("format");
        QTest::newRow("valid colour, escaped")
            << QByteArray("{\"role_name\":\" A&<B> \",\"role_color\":\" #ff8800 \"}")
            << "<span style=\"color:#ff8800;\">A&amp;&lt;B&gt;</span>" << Qt::RichText;
        QTest::newRow("invalid colour, plain")
            << QByteArray(R"({"role_name":"A&<B>","role_color":"nope;x"})") << "A&<B>"
            << Qt::PlainText;
        QTest::newRow("keyword colour") << QByteArray(R"({"role_name":"Mod","role_color":"red"})")
                                        << "<span style=\"color:red;\">Mod</span>" << Qt::RichText;
    }
    void role_colour() {
        QFETCH(QByteArray, user);
        QFETCH(QString, text);
        ProfileScreen screen;
        screen.set_user(object(user));
        QCOMPARE(line(screen, 4)->text(), text_of("profile.role_prefix") + ' ' + text);
        QTEST(line(screen, 4)->textFormat(), "format");
    }

    void unit_words_data() {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QList<qint64>>("amounts");
        QTest::addColumn<QString>("word");
        QTest::newRow("ru one") << "ru" << QList<qint64>{1, 21, 101} << QString::fromUtf8("шард");
        QTest::newRow("ru few") << "ru" << QList<qint64>{2, 3, 4, 22, 104}
                                << QString::fromUtf8("шарда");
        QTest::newRow("ru many") << "ru"
                                 << QList<qint64>{0, 5, 11, 12, 13, 14, 111, 112, -1, -2, -21}
                                 << QString::fromUtf8("шардов");
        QTest::newRow("en one") << "en" << QList<qint64>{1} << "shard";
        QTest::newRow("en many") << "en" << QList<qint64>{0, 2, -1, 21} << "shards";
        QTest::newRow("other language") << "de" << QList<qint64>{1} << "shard";
    }
    void unit_words() {
        QFETCH(QString, language);
        QFETCH(QList<qint64>, amounts);
        QFETCH(QString, word);
        for (const qint64 amount : amounts) {
            QVERIFY2(ProfileScreen::currency_word(amount, language) == word,
                     qPrintable(QString::number(amount)));
        }
    }

    void money_is_truncated_and_localised_data() {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<qint64>("amount");
        QTest::newRow("fraction") << QByteArray(R"({"money":99.99})") << qint64(99);
        QTest::newRow("text") << QByteArray(R"({"money":"500"})") << qint64(0);
        QTest::newRow("large") << QByteArray(R"({"money":1234567})") << qint64(1234567);
        QTest::newRow("past 64 bits")
            << QByteArray(R"({"money":1e300})") << std::numeric_limits<qint64>::max();
        QTest::newRow("below 64 bits")
            << QByteArray(R"({"money":-1e300})") << std::numeric_limits<qint64>::min();
    }
    void money_is_truncated_and_localised() {
        QFETCH(QByteArray, user);
        QFETCH(qint64, amount);
        ProfileScreen screen;
        screen.set_user(object(user));
        QCOMPARE(line(screen, 5)->text(), text_of("profile.money_prefix") + ' ' +
                                              QLocale::system().toString(amount) + ' ' +
                                              ProfileScreen::currency_word(amount, "en"));
    }

    void donate_roles_are_built_safely() {
        ProfileScreen screen;
        screen.set_user(object(
            R"({"donate_roles":[)"
            "{\"role_title\":\" VIP \",\"server_name\":\" Main \",\"expires_at\":\"2027-01-01\","
            "\"is_active\":true,\"role_color\":\"#00ff00\"},"
            R"({"role_title":"","server_id":7,"expires_at":5,"role_color":"bad"},)"
            R"({"role_title":"<img src=x>","server_name":"<b>S</b>"},)"
            R"("not an object"]})"));
        const QString suffix_template = text_of("profile.role_suffix_template");
        QCOMPARE(
            role_entries(screen),
            (QStringList{
                "<span style=\"color:#00ff00; font-weight:700;\">VIP</span> " +
                    suffix_template.arg("Main", "2027-01-01", text_of("profile.yes")),
                "<span style=\"font-weight:700;\">" + text_of("profile.role_unknown") + "</span> " +
                    suffix_template.arg(text_of("profile.server_fallback").arg(7),
                                        text_of("profile.never"), text_of("profile.no")),
                "<span style=\"font-weight:700;\">&lt;img src=x&gt;</span> " +
                    suffix_template.arg("&lt;b&gt;S&lt;/b&gt;", text_of("profile.never"),
                                        text_of("profile.no")),
            }));
        screen.set_user(object(R"({"donate_roles":[{}]})"));
        QVERIFY(role_entries(screen).first().contains(text_of("profile.server_fallback").arg(0)));
        screen.set_user(object(R"({"donate_roles":["a","b"]})"));
        QCOMPARE(role_entries(screen), QStringList());
    }

    void many_roles_are_summarised() {
        QJsonArray roles;
        for (int i = 0; i < 20000; ++i) {
            roles.append(QJsonObject{{"role_title", QString(5000, 'r')}, {"is_active", true}});
        }
        ProfileScreen screen;
        screen.set_user(QJsonObject{{"donate_roles", roles}});
        const auto* list = screen.findChild<QListWidget*>();
        QCOMPARE(list->count(), 101);
        QCOMPARE(list->item(100)->text(), text_of("profile.roles_more").arg(19900));
        QVERIFY(role_entries(screen).first().size() < 400);
    }

    void language_change_renders_again() {
        ProfileScreen screen;
        screen.set_user(object(R"({"money":5,"email_verified":true})"));
        QVERIFY(Translator::instance().set_language("ru"));
        screen.retranslate();
        QVERIFY(line(screen, 5)->text().endsWith(QString::fromUtf8("шардов")));
        QVERIFY(line(screen, 6)->text().contains(QString::fromUtf8("да")));
        QVERIFY(Translator::instance().set_language("en"));
        screen.retranslate();
        QVERIFY(line(screen, 5)->text().endsWith("shards"));
    }
};

QTEST_MAIN(ProfileScreenTest)
#include "test_profile_screen.moc"
