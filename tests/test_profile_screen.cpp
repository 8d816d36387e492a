// The profile screen: the account's lines, role colours, balance, donate roles and bounds.
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QtTest>

#include "app/translator.h"
#include "ui/screens/profile_screen.h"

using halvark::ui::screens::ProfileScreen;

namespace {

QString t(const char* key) {
    return halvark::app::tr(key);
}

}  // namespace

class ProfileScreenTest : public QObject {
    Q_OBJECT

    ProfileScreen screen;

    void show(const QByteArray& user) { screen.set_user(QJsonDocument::fromJson(user).object()); }
    // Labels in construction order: title, name, e-mail, uuid, role, money, flags, roles title.
    QLabel* line(int index) { return screen.findChildren<QLabel*>().at(index); }
    QStringList roles() {
        auto* list = screen.findChild<QListWidget*>();
        QStringList entries;
        for (int row = 0; row < list->count(); ++row) {
            QWidget* widget = list->itemWidget(list->item(row));
            entries.append(widget ? widget->findChild<QLabel*>()->text() : list->item(row)->text());
        }
        return entries;
    }

  private Q_SLOTS:
    void initTestCase() { QVERIFY(halvark::app::Translator::instance().set_language("en")); }

    void account_lines() {
        show("{}");
        QCOMPARE(line(1)->text(), t("profile.nickname_prefix") + " -");
        QCOMPARE(roles(), QStringList{t("profile.roles_empty")});
        screen.set_display_name(" Shown ");
        show(R"({"email":"a&b@c","role_name":" A&<B> ","role_color":" orange "})");
        QCOMPARE(line(1)->text(), t("profile.nickname_prefix") + " Shown");
        QCOMPARE(line(2)->text(), t("profile.email_prefix") + " a&b@c");
        QCOMPARE(line(2)->textFormat(), Qt::PlainText);
        QCOMPARE(line(4)->text(), t("profile.role_prefix") +
                                      " <span style=\"color:orange;\">A&amp;&lt;B&gt;</span>");
        show(R"({"nickname":"<i>R</i>","role_name":"A&<B>","role_color":"nope;x"})");
        QCOMPARE(line(1)->text(), t("profile.nickname_prefix") + " <i>R</i>");
        QCOMPARE(line(4)->text(), t("profile.role_prefix") + " A&<B>");
        QCOMPARE(line(4)->textFormat(), Qt::PlainText);
    }

    void balance_is_truncated_clamped_and_localised() {
        for (const auto& [money, amount] : {std::pair{"99.99", qint64(99)},
                                            {"\"500\"", 0},
                                            {"1e300", std::numeric_limits<qint64>::max()},
                                            {"-1e300", std::numeric_limits<qint64>::min()}}) {
            show(QByteArray("{\"money\":") + money + '}');
            QCOMPARE(line(5)->text(), t("profile.money_prefix") + ' ' +
                                          QLocale::system().toString(amount) + ' ' +
                                          ProfileScreen::currency_word(amount, "en"));
        }
        const auto words = [](const QString& language, const QList<qint64>& amounts) {
            QStringList found;
            for (const qint64 amount : amounts) {
                found.append(ProfileScreen::currency_word(amount, language));
            }
            found.removeDuplicates();
            return found;
        };
        QCOMPARE(words("ru", {1, 21, 101}), QStringList{"шард"});
        QCOMPARE(words("ru", {2, 4, 22, 104}), QStringList{"шарда"});
        QCOMPARE(words("ru", {0, 5, 11, 14, 111, -1}), QStringList{"шардов"});
    }

    void donate_roles_are_built_safely() {
        show(
            "{\"donate_roles\":[{\"role_title\":\" VIP \",\"server_name\":\" Main "
            "\",\"expires_at\":"
            "\"2027-01-01\",\"is_active\":true,\"role_color\":\"lime\"},"
            R"({"role_title":"","server_id":7,"expires_at":5,"role_color":"bad"},)"
            R"({"role_title":"<img src=x>","server_name":"<b>S</b>"},"not an object"]})");
        const QString suffix = t("profile.role_suffix_template");
        QCOMPARE(roles(),
                 (QStringList{
                     "<span style=\"color:lime; font-weight:700;\">VIP</span> " +
                         suffix.arg("Main", "2027-01-01", t("profile.yes")),
                     "<span style=\"font-weight:700;\">" + t("profile.role_unknown") + "</span> " +
                         suffix.arg(t("profile.server_fallback").arg(7), t("profile.never"),
                                    t("profile.no")),
                     "<span style=\"font-weight:700;\">&lt;img src=x&gt;</span> " +
                         suffix.arg("&lt;b&gt;S&lt;/b&gt;", t("profile.never"), t("profile.no"))}));
    }

    void many_roles_are_summarised() {
        QJsonArray many;
        for (int i = 0; i < 20000; ++i) {
            many.append(QJsonObject{{"role_title", QString(5000, 'r')}, {"is_active", true}});
        }
        screen.set_user(QJsonObject{{"donate_roles", many}});
        QCOMPARE(roles().size(), 101);
        QCOMPARE(roles().last(), t("profile.roles_more").arg(19900));
    }
};

QTEST_MAIN(ProfileScreenTest)
#include "test_profile_screen.moc"
