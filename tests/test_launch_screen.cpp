#include <QDesktopServices>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QtTest>
#include <atomic>

#include "app/translator.h"
#include "fake_service.h"
#include "image_samples.h"
#include "test_support.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/pictures.h"
#include "ui/style_sheet.h"

using namespace halvark;
using namespace halvark::testing;
using ui::screens::LaunchScreen;

namespace {

const QString kNewsPath = QStringLiteral("/api/v1/news");
const QString kProfilesPath = QStringLiteral("/api/launcher/server-profiles");

QJsonArray json_array(const QByteArray& text) {
    return QJsonDocument::fromJson(text).array();
}

}  // namespace

// Catches what the "more" buttons ask the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> opened;
  public Q_SLOTS:
    void open(const QUrl& url) { opened.append(url); }
};

class LaunchScreenTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScopedEnvironment> environment;
    std::unique_ptr<FakeService> service;
    std::unique_ptr<LaunchScreen> screen;
    UrlCatcher catcher;

    // Settled: the replies to the screen's own first requests have been rendered, so they
    // cannot overwrite what a test renders afterwards.
    void make_screen(bool settle = true) {
        screen = std::make_unique<LaunchScreen>();
        screen->setStyleSheet(ui::app_style_sheet());
        screen->resize(1000, 760);
        if (settle) {
            QTRY_VERIFY_WITH_TIMEOUT(!title(0).isEmpty() && !selector_title().isEmpty(), 15000);
        }
    }
    QLabel* label(const QString& name, int index = 0) {
        return screen->findChildren<QLabel*>(name).value(index);
    }
    QString title(int card) {
        return card == 0 ? label("news_primary_title")->text()
                         : label("news_side_title", card - 1)->text();
    }
    QLabel* picture(int card) {
        return card == 0 ? label("news_primary_image") : label("news_side_image", card - 1);
    }
    QPushButton* button(const QString& key, int index = 0) {
        QList<QPushButton*> matches;
        for (QPushButton* candidate : screen->findChildren<QPushButton*>()) {
            if (candidate->text() == app::tr(key)) {
                matches.append(candidate);
            }
        }
        return matches.value(index);
    }
    QPushButton* profile_button() { return screen->findChildren<QPushButton*>().first(); }
    QMenu* menu() { return screen->findChild<QMenu*>("server_profile_menu"); }
    QString selector_title() { return label("server_profile_title")->text(); }
    bool play_enabled() { return button("launch.play")->isEnabled(); }
    void wait_for_requests(const QString& path, int count) {
        QTRY_COMPARE_WITH_TIMEOUT(service->requests_to("GET", path).size(), count, 15000);
        QTest::qWait(50);  // let the reply be handled
    }

  private Q_SLOTS:
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("http"); }
    void initTestCase() {
        QVERIFY(app::Translator::instance().set_language("en"));
        QDesktopServices::setUrlHandler("http", &catcher, "open");
    }
    void init() {
        environment = std::make_unique<ScopedEnvironment>();
        service = std::make_unique<FakeService>();
        qputenv("HALVARK_LAUNCHER_API_URL", service->base_url().toUtf8());
        qputenv("HALVARK_LAUNCHER_SITE_URL", service->base_url().toUtf8());
        catcher.opened.clear();
        service->reply("GET", kNewsPath, {200, "[]"});
        service->reply("GET", kProfilesPath, {200, "[]"});
    }
    void cleanup() {
        screen.reset();
        service.reset();
        environment.reset();
    }

    void construction_asks_for_news_and_profiles() {
        service->reply("GET", kNewsPath,
                       {200, R"([{"id":42,"title":"Patch","summary":" Notes "}])"});
        make_screen(false);
        QCOMPARE(title(0), QString());
        QVERIFY(!play_enabled());
        QCOMPARE(profile_button()->text(), app::tr("launch.profile"));
        QCOMPARE(profile_button()->iconSize(), QSize(22, 22));
        wait_for_requests(kNewsPath, 1);
        wait_for_requests(kProfilesPath, 1);
        const RecordedRequest news = service->requests_to("GET", kNewsPath).first();
        QCOMPARE(news.target, QString("/api/v1/news?limit=4"));
        QCOMPARE(news.headers.value("accept"), QString("application/json"));
        const RecordedRequest profiles = service->requests_to("GET", kProfilesPath).first();
        QCOMPARE(profiles.headers.value("user-agent"), QString("HalvarkLauncher/1.0"));
        QCOMPARE(profiles.headers.value("accept"), QString("application/json"));
        QTRY_COMPARE_WITH_TIMEOUT(title(0), QString("Patch"), 15000);
        QCOMPARE(label("news_primary_title")->textFormat(), Qt::PlainText);
        for (const char* folder : {"avatars", "news_images", "server_profiles"}) {
            QVERIFY(QDir(environment->data_path() + "/cache/" + folder).exists());
        }
    }

    void news_rendering_data() {
        QTest::addColumn<QByteArray>("news");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QList<bool>>("more_enabled");
        const QString empty = "launch.news_empty";
        QTest::newRow("none") << QByteArray("[]") << QStringList{empty, empty, empty, empty}
                              << QList<bool>{false, false, false, false};
        QTest::newRow("two") << QByteArray(R"([{"id":1,"title":"A"},{"id":2,"title":"B"}])")
                             << QStringList{"A", "B", empty, empty}
                             << QList<bool>{true, true, false, false};
        QTest::newRow("six")
            << QByteArray(R"([{"id":1,"title":"A"},{"id":2,"title":"B"},{"id":3,"title":"C"},
                                              {"id":4,"title":"D"},{"id":5,"title":"E"},{"id":6,"title":"F"}])")
            << QStringList{"A", "B", "C", "D"} << QList<bool>{true, true, true, true};
        QTest::newRow("ids and titles") << QByteArray(R"([{"title":"No id"},{"id":0,"title":"Zero"},
                                                          {"id":-4,"title":"<b>x</b>"},{"id":9,"title":"   "}])")
                                        << QStringList{"No id", "Zero", "<b>x</b>", empty}
                                        << QList<bool>{false, false, false, true};
        QTest::newRow("wrapped object is no list")
            << QByteArray(R"({"items":[{"id":1,"title":"A"}]})")
            << QStringList{empty, empty, empty, empty} << QList<bool>{false, false, false, false};
    }
    void news_rendering() {
        QFETCH(QByteArray, news);
        QFETCH(QStringList, titles);
        QFETCH(QList<bool>, more_enabled);
        make_screen();
        screen->render_news(QJsonDocument::fromJson(news).array());
        for (int card = 0; card < 4; ++card) {
            const QString expected =
                titles[card] == "launch.news_empty" ? app::tr(titles[card]) : titles[card];
            QCOMPARE(title(card), expected);
            QCOMPARE(button("launch.news_more", card)->isEnabled(), more_enabled[card]);
        }
    }

    void element_that_is_no_object_leaves_its_card() {
        make_screen();
        screen->render_news(json_array(R"([{"id":1,"title":"A"},{"id":2,"title":"B"}])"));
        screen->render_news(json_array(R"([{"id":7,"title":"New"},"junk"])"));
        QCOMPARE(title(1), QString("B"));
        QVERIFY(button("launch.news_more", 1)->isEnabled());
        QTest::mouseClick(button("launch.news_more", 1), Qt::LeftButton);  // its id is -1 now
        QTest::mouseClick(button("launch.news_more", 0), Qt::LeftButton);
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(service->url("/news/7"))});
    }

    void news_pictures_are_decoded_at_card_size() {
        service->reply("GET", "/img/wide.png",
                       {200,
                        two_colour_png(1200, 400, Qt::red, Qt::blue),
                        "image/png",
                        {{"Cache-Control", "max-age=3600"}}});
        make_screen();
        const QString address = service->url("/img/wide.png");
        screen->render_news(json_array(QString(R"([{"id":1,"title":"A","images":["%1"]},
                                                   {"id":2,"title":"B","images":[5,"%1"]},
                                                   {"id":3,"title":"C","images":"%1"},
                                                   {"id":4,"title":"D","images":["   "]}])")
                                           .arg(address)
                                           .toUtf8()));
        QTRY_VERIFY_WITH_TIMEOUT(!picture(0)->pixmap().isNull(), 15000);
        QCOMPARE(picture(0)->pixmap().size(), QSize(496, 170));
        QTest::qWait(100);
        for (int card = 1; card < 4; ++card) {
            QVERIFY(picture(card)->pixmap().isNull());
        }
        QCOMPARE(service->requests_to("GET", "/img/wide.png").size(), 1);
        QCOMPARE(service->requests_to("GET", "/img/wide.png").first().headers.value("accept"),
                 QString("image/*"));

        // The second showing comes from the disk cache.
        screen->render_news(
            json_array(QString(R"([{"id":1,"title":"A"},{"id":2,"title":"B","images":["%1"]}])")
                           .arg(address)
                           .toUtf8()));
        QTRY_VERIFY_WITH_TIMEOUT(!picture(1)->pixmap().isNull(), 15000);
        QCOMPARE(picture(1)->pixmap().size(), QSize(256, 64));
        QCOMPARE(service->requests_to("GET", "/img/wide.png").size(), 1);
    }

    void profile_list_shapes_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("entries");
        const QByteArray two = R"([{"name":"Alpha"},{"name":"Beta"}])";
        QTest::newRow("array") << two << "Alpha" << 2;
        QTest::newRow("items") << QByteArray(R"({"items":[{"name":"Items"}]})") << "Items" << 1;
        QTest::newRow("data") << QByteArray(R"({"data":[{"name":"Data"}]})") << "Data" << 1;
        QTest::newRow("items not an array")
            << QByteArray(R"({"items":3,"data":[{"name":"Data"}]})") << "Data" << 1;
        QTest::newRow("empty items wins") << QByteArray(R"({"items":[],"data":[{"name":"Data"}]})")
                                          << "launch.server_profiles_empty" << 0;
        QTest::newRow("no list") << QByteArray(R"({"profiles":[]})")
                                 << "launch.server_profiles_empty" << 0;
        QTest::newRow("not json") << QByteArray("<html>") << "launch.server_profiles_empty" << 0;
        QTest::newRow("only gated") << QByteArray(R"([{"name":"Vip","required_role_id":5}, 7])")
                                    << "launch.server_profiles_role_blocked" << 0;
    }
    void profile_list_shapes() {
        QFETCH(QByteArray, body);
        QFETCH(QString, title);
        QFETCH(int, entries);
        service->reply("GET", kProfilesPath, {200, body});
        if (entries == 0 && !body.startsWith('[') && !body.contains("\"items\":[]")) {
            QTest::ignoreMessage(
                QtCriticalMsg,
                QRegularExpression("^Server profiles parse failed: status=200 parse=.* body=.*"));
        }
        make_screen();
        wait_for_requests(kProfilesPath, 1);
        QTRY_COMPARE_WITH_TIMEOUT(selector_title(),
                                  title.startsWith("launch.") ? app::tr(title) : title, 15000);
        QCOMPARE(menu()->actions().size(), entries);
        QCOMPARE(play_enabled(), entries > 0);
        QCOMPARE(screen->findChild<QPushButton*>("server_profile_dropdown_button")->isEnabled(),
                 entries > 0);
    }

    void role_gating_data() {
        QTest::addColumn<double>("required");
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("0 for everybody") << 0. << QByteArray("{}") << true;
        QTest::newRow("1 for everybody") << 1. << QByteArray("{}") << true;
        QTest::newRow("2 without roles") << 2. << QByteArray("{}") << false;
        QTest::newRow("2 by main role") << 2. << QByteArray(R"({"role_id":2})") << true;
        QTest::newRow("2, other main role") << 2. << QByteArray(R"({"role_id":3})") << false;
        QTest::newRow("2 by active donate role")
            << 2. << QByteArray(R"({"donate_roles":["x",{"role_id":2,"is_active":true}]})") << true;
        QTest::newRow("inactive donate role")
            << 2. << QByteArray(R"({"donate_roles":[{"role_id":2,"is_active":false}]})") << false;
        QTest::newRow("donate role without state")
            << 2. << QByteArray(R"({"donate_roles":[{"role_id":2}]})") << false;
        QTest::newRow("role id as text") << 2. << QByteArray(R"({"role_id":"2"})") << false;
        QTest::newRow("2^31 stays a requirement") << 2147483648. << QByteArray("{}") << false;
        QTest::newRow("2^31 by main role")
            << 2147483648. << QByteArray(R"({"role_id":2147483648})") << true;
        QTest::newRow("1e300 stays a requirement") << 1e300 << QByteArray("{}") << false;
        QTest::newRow("-1e300 for everybody") << -1e300 << QByteArray("{}") << true;
    }
    void role_gating() {
        QFETCH(double, required);
        QFETCH(QByteArray, user);
        make_screen();
        screen->set_user(QJsonDocument::fromJson(user).object());
        QTEST(
            screen->is_profile_allowed(QJsonObject{{"name", "P"}, {"required_role_id", required}}),
            "allowed");
    }

    void menu_entries_and_choices() {
        service->reply("GET", kProfilesPath, {200, R"([{"name":"Alpha","description":"   "},
                                                       {"name":"Beta","description":" Fast ","required_role_id":2}])"});
        make_screen();
        wait_for_requests(kProfilesPath, 1);
        QTRY_COMPARE_WITH_TIMEOUT(selector_title(), QString("Alpha"), 15000);
        QCOMPARE(menu()->actions().size(), 1);
        QCOMPARE(menu()->actions().first()->text(), QString("Alpha"));
        QCOMPARE(label("server_profile_description")->text(), QString(" "));

        screen->set_user(QJsonObject{{"role_id", 2}});
        QCOMPARE(service->requests_to("GET", kProfilesPath).size(),
                 1);  // rendered again, not fetched
        QCOMPARE(menu()->actions().size(), 2);
        QCOMPARE(menu()->actions().at(1)->text(), QString("Beta\nFast"));
        menu()->actions().at(1)->trigger();
        QCOMPARE(selector_title(), QString("Beta"));
        QCOMPARE(label("server_profile_description")->text(), QString("Fast"));
        QVERIFY(play_enabled());

        QAction* broken = menu()->addAction("broken");
        broken->setData("not a number");
        broken->trigger();
        QVERIFY(!play_enabled());
        QCOMPARE(selector_title(), QString("Beta"));

        QTest::mouseClick(button("launch.play"), Qt::LeftButton);  // starts nothing
    }

    void overlapping_requests_end_with_the_last_reply() {
        std::atomic<int> calls{0};
        service->on("GET", kProfilesPath, [&calls](const RecordedRequest&) {
            if (calls.fetch_add(1) == 0) {
                // Not stored: a cached copy would let Qt mix it into the failing reply.
                return Reply{200,
                             R"([{"name":"Alpha"}])",
                             "application/json",
                             {{"Cache-Control", "no-store"}}};
            }
            QThread::msleep(300);
            return Reply{500, "{}"};
        });
        QTest::ignoreMessage(
            QtCriticalMsg,
            QRegularExpression("^Server profiles request failed: status=\\d+ error=.+"));
        make_screen(false);
        screen->set_user(QJsonObject());  // nothing stored yet: asks again
        wait_for_requests(kProfilesPath, 2);
        QTRY_COMPARE_WITH_TIMEOUT(selector_title(), app::tr("launch.server_profiles_empty"), 15000);
        screen->set_user(QJsonObject());
        QCOMPARE(selector_title(), QString("Alpha"));
    }

    void background_is_darkened_and_switchable() {
        service->reply("GET", "/img/bg.png",
                       {200, two_colour_png(400, 100, Qt::white, Qt::white), "image/png"});
        service->reply("GET", kProfilesPath,
                       {200, QString(R"([{"name":"Alpha","image_url":" %1 "}])")
                                 .arg(service->url("/img/bg.png"))
                                 .toUtf8()});
        make_screen();
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
        QLabel* background = label("server_profile_background");
        QTRY_VERIFY_WITH_TIMEOUT(!background->pixmap().isNull(), 15000);
        const QColor darkened = background->pixmap().toImage().pixelColor(5, 5);
        QVERIFY2(qAbs(darkened.red() - 76) <= 2,
                 qPrintable(darkened.name()));  // white under black at 179/255
        const QSize surface = screen->findChild<QFrame*>("server_profile_surface")->size();
        QVERIFY(background->pixmap().height() >= surface.height() &&
                background->pixmap().width() >= surface.width());

        screen->set_server_list_background_enabled(false);
        QVERIFY(background->pixmap().isNull());
        QVERIFY(!background->isVisible());
        screen->set_server_list_background_enabled(true);
        QVERIFY(!background->pixmap().isNull());
    }

    void avatar_is_rounded_and_anchored_data() {
        QTest::addColumn<QByteArray>("picture");
        QTest::addColumn<QColor>("centre");
        QTest::newRow("wide shows its left part")
            << two_colour_png(120, 40, Qt::red, Qt::blue) << QColor(Qt::red);
        QTest::newRow("tall shows its top part")
            << two_colour_png(40, 120, Qt::green, Qt::blue, false) << QColor(Qt::green);
    }
    void avatar_is_rounded_and_anchored() {
        QFETCH(QByteArray, picture);
        QFETCH(QColor, centre);
        service->reply("GET", "/api/v1/player-media/avatars/u-1", {200, picture, "image/png"});
        make_screen();
        screen->set_avatar_uuid("  u-1 ");
        QTRY_COMPARE_WITH_TIMEOUT(profile_button()->iconSize(), QSize(26, 26), 15000);
        const QImage icon = profile_button()->icon().pixmap(26, 26).toImage();
        QCOMPARE(icon.pixelColor(13, 13), centre);
        QCOMPARE(icon.pixelColor(0, 0).alpha(), 0);  // rounded corner
        QCOMPARE(service->requests_to("GET", "/api/v1/player-media/avatars/u-1")
                     .first()
                     .headers.value("accept"),
                 QString("image/*"));
    }

    void only_the_newest_avatar_is_shown() {
        service->on("GET", "/api/v1/player-media/avatars/slow", [](const RecordedRequest&) {
            QThread::msleep(300);
            return Reply{200, two_colour_png(26, 26, Qt::red, Qt::red), "image/png"};
        });
        service->reply("GET", "/api/v1/player-media/avatars/fast",
                       {200, two_colour_png(26, 26, Qt::blue, Qt::blue), "image/png"});
        make_screen();
        screen->set_avatar_uuid("slow");
        screen->set_avatar_uuid("fast");
        QTRY_COMPARE_WITH_TIMEOUT(profile_button()->iconSize(), QSize(26, 26), 15000);
        QTest::qWait(500);
        QCOMPARE(profile_button()->icon().pixmap(26, 26).toImage().pixelColor(13, 13),
                 QColor(Qt::blue));

        screen->set_avatar_uuid("slow");
        screen->set_avatar_uuid("");  // logout: default icon at once, the late reply is dropped
        QCOMPARE(profile_button()->iconSize(), QSize(18, 18));
        QTest::qWait(500);
        QCOMPARE(profile_button()->iconSize(), QSize(18, 18));
    }

    void broken_avatar_gives_the_default_icon() {
        service->reply("GET", "/api/v1/player-media/avatars/bad",
                       {200, "not a picture", "image/png"});
        make_screen();
        screen->set_avatar_uuid("bad");
        QTRY_COMPARE_WITH_TIMEOUT(profile_button()->iconSize(), QSize(18, 18), 15000);
    }

    void account_header_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("button");
        QTest::newRow("name") << "Rook"
                              << "   Rook";
        QTest::newRow("leading spaces kept") << "  Rook"
                                             << "     Rook";
        QTest::newRow("only spaces") << "   "
                                     << "launch.profile";
        QTest::newRow("markup is text") << "<b>Rook</b>"
                                        << "   <b>Rook</b>";
    }
    void account_header() {
        QFETCH(QString, name);
        QFETCH(QString, button);
        make_screen();
        screen->set_account_name(name);
        QCOMPARE(profile_button()->text(), button.startsWith("launch.") ? app::tr(button) : button);
        QVERIFY(app::Translator::instance().set_language("ru"));
        screen->retranslate();
        if (button.startsWith("launch.")) {
            QCOMPARE(profile_button()->text(), app::tr(button));
        }
        QVERIFY(app::Translator::instance().set_language("en"));
    }

    void hostile_pictures_are_refused() {
        QVERIFY(ui::screens::decode_bounded_image(png_claiming(100000, 100000)).isNull());
        QVERIFY(ui::screens::decode_bounded_image(png_claiming(100000, 100000), QSize(256, 64))
                    .isNull());
        QVERIFY(ui::screens::decode_bounded_image("GIF89a garbage").isNull());
        QCOMPARE(ui::screens::decode_bounded_image(two_colour_png(8, 8, Qt::red, Qt::red)).size(),
                 QSize(8, 8));
    }

    void local_picture_addresses_are_never_opened_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("FIFO") << QString("file://%1/fifo");  // in the test's own folder
        QTest::newRow("device") << QString("file:///dev/zero");
        QTest::newRow("bare path") << QString("/dev/stdin");
        QTest::newRow("other scheme") << QString("ftp://127.0.0.1/p.png");
    }
    void local_picture_addresses_are_never_opened() {
        QFETCH(QString, address);
        address.replace("%1", environment->path());
        QCOMPARE(QProcess::execute("mkfifo", {environment->path() + "/fifo"}), 0);
        make_screen();
        const QRegularExpression warning("^Ignored a picture address that is not http\\(s\\)");
        QTest::ignoreMessage(QtWarningMsg, warning);
        QTest::ignoreMessage(QtWarningMsg, warning);
        screen->render_news(QJsonArray{QJsonObject{{"id", 1}, {"images", QJsonArray{address}}}});
        screen->render_server_profiles(
            QJsonArray{QJsonObject{{"name", "A"}, {"image_url", address}}});
        QTest::qWait(100);
        QVERIFY(picture(0)->pixmap().isNull());
        QVERIFY(label("server_profile_background")->pixmap().isNull());
    }

    void large_answers_are_rendered_in_part() {
        make_screen();
        QJsonArray profiles;
        for (int i = 0; i < 100000; ++i) {
            profiles.append(QJsonObject{{"name", QString("P%1").arg(i)}});
        }
        screen->render_server_profiles(profiles);
        QCOMPARE(menu()->actions().size(), 200);
        const QString huge(1 << 20, 'x');
        screen->render_news(QJsonArray{QJsonObject{{"id", 1}, {"title", huge}, {"summary", huge}}});
        QCOMPARE(title(0), QString(199, 'x') + QChar(0x2026));
        const QList<QLabel*> labels = screen->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](const QLabel* shown) {
            return shown->text() == QString(999, 'x') + QChar(0x2026);  // the summary
        }));
    }

    void pictures_decode_off_the_window_thread() {
        QObject receiver;
        QList<QImage> results;
        QThread* called_on = nullptr;
        ui::screens::decode_bounded_image_later(&receiver,
                                                two_colour_png(64, 32, Qt::red, Qt::blue),
                                                QSize(16, 8), [&](const QImage& picture) {
                                                    results.append(picture);
                                                    called_on = QThread::currentThread();
                                                });
        QVERIFY(results.isEmpty());  // never answered before the call returns
        QTRY_COMPARE(results.size(), 1);
        QCOMPARE(results.first().size(), QSize(16, 8));
        QCOMPARE(called_on, receiver.thread());

        // A receiver gone before the picture is ready hears nothing.
        int late_calls = 0;
        auto gone = std::make_unique<QObject>();
        ui::screens::decode_bounded_image_later(gone.get(),
                                                two_colour_png(64, 32, Qt::red, Qt::blue), QSize(),
                                                [&](const QImage&) { ++late_calls; });
        gone.reset();
        QTest::qWait(300);
        QCOMPARE(late_calls, 0);
    }
};

QTEST_MAIN(LaunchScreenTest)
#include "test_launch_screen.moc"
