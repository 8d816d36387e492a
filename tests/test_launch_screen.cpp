// The home screen: its requests, news cards, server profiles and their gating, pictures.
#include <QDesktopServices>
#include <QDirIterator>
#include <QImageWriter>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QWidgetAction>
#include <QtTest>

#include "account_fixture.h"
#include "app/translator.h"
#include "image_samples.h"
#include "storage/data_folder.h"
#include "test_support.h"
#include "ui/screens/launch_screen.h"
#include "ui/screens/pictures.h"

using namespace halvark;
using namespace halvark::testing;

namespace {

const QString kProfiles = QStringLiteral("/api/launcher/server-profiles");

QJsonArray array(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).array();
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

    std::unique_ptr<AccountFixture> fixture;
    std::unique_ptr<ui::screens::LaunchScreen> screen;
    UrlCatcher catcher;

    // Settled: the screen's own first replies are rendered and cannot overwrite a test's.
    void make_screen() {
        screen = std::make_unique<ui::screens::LaunchScreen>();
        screen->resize(1000, 760);
        QTRY_VERIFY_WITH_TIMEOUT(!title(0).isEmpty() && !selector().isEmpty(),
                                 testing::kPatienceMs);
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
    QList<QPushButton*> buttons(const QString& key) {
        QList<QPushButton*> found = screen->findChildren<QPushButton*>();
        found.removeIf([&key](QPushButton* button) { return button->text() != app::tr(key); });
        return found;
    }
    QList<QAction*> entries() { return screen->findChild<QMenu*>()->actions(); }
    QString selector() { return label("server_profile_title")->text(); }
    bool playable() { return buttons("launch.play").first()->isEnabled(); }

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(app::Translator::instance().set_language("en"));
        QDesktopServices::setUrlHandler("http", &catcher, "open");
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler("http"); }
    void init() {
        fixture = std::make_unique<AccountFixture>();
        catcher.opened.clear();
    }
    void cleanup() {
        screen.reset();
        fixture.reset();
    }

    void news_cards_and_more() {
        make_screen();
        const QString none = app::tr("launch.news_empty");
        const auto cards = [this](const QString& news, const QStringList& titles,
                                  const QList<bool>& more) {
            screen->render_news(array(news));
            for (int card = 0; card < 4; ++card) {
                QCOMPARE(title(card), titles[card]);
                QCOMPARE(buttons("launch.news_more")[card]->isEnabled(), more[card]);
            }
        };
        cards("[]", {none, none, none, none}, {false, false, false, false});
        cards(R"([{"id":1,"title":"A"},{"id":2,"title":"B"},{"id":3,"title":"C"},{"id":4,
            "title":"D"},{"id":5}])",
              {"A", "B", "C", "D"}, {true, true, true, true});
        cards(R"([{"title":"No id"},{"id":0,"title":"0"},{"id":-4,"title":"<b>"},{"id":9,
            "title":" "}])",
              {"No id", "0", "<b>", none}, {false, false, false, true});
        screen->render_news(array(R"([{"id":7,"title":"New"},"junk"])"));
        QCOMPARE(title(1), QString("0"));         // an element that is no object leaves its card
        buttons("launch.news_more")[1]->click();  // but its id is gone
        buttons("launch.news_more")[0]->click();
        QCOMPARE(catcher.opened, QList<QUrl>{QUrl(fixture->service.url("/news/7"))});
    }

    void news_pictures_fit_their_cards_and_are_cached() {
        const QByteArray png = two_colour_png(1200, 400, Qt::red, Qt::blue);
        fixture->service.reply("GET", "/w.png",
                               {200, png, "image/png", {{"Cache-Control", "max-age=60"}}});
        make_screen();
        const QString at = fixture->service.url("/w.png");
        screen->render_news(array(QString(R"([{"id":1,"images":["%1"]}])").arg(at)));
        QTRY_COMPARE_WITH_TIMEOUT(picture(0)->pixmap().size(), QSize(496, 170),
                                  testing::kPatienceMs);
        screen->render_news(array(QString(R"([{"id":1},{"id":2,"images":["%1"]}])").arg(at)));
        QTRY_COMPARE_WITH_TIMEOUT(picture(1)->pixmap().size(), QSize(256, 64),
                                  testing::kPatienceMs);
        const auto requests = fixture->service.requests_to("GET", "/w.png");
        QCOMPARE(requests.size(), 1);  // the second showing came from the disk cache
        QCOMPARE(requests.first().headers.value("accept"), QString("image/*"));

        // A tampered cache: the cached picture becomes a FIFO (which blocks whoever opens it),
        // beside a link to a device. The next screen must treat both as misses.
#ifdef Q_OS_WIN
        QSKIP("no FIFOs on Windows");
#endif
        screen.reset();
        const QString cache = storage::cache_directory() + "/news_images";
        QDirIterator cached(cache, {"*.d"}, QDir::Files, QDirIterator::Subdirectories);
        QVERIFY(cached.hasNext());
        const QString entry = cached.next();
        QVERIFY(QFile::remove(entry) && QProcess::execute("mkfifo", {entry}) == 0);
        QVERIFY(QFile::link("/dev/zero", QFileInfo(entry).path() + "/zero.d"));
        make_screen();
        screen->render_news(array(QString(R"([{"id":1,"images":["%1"]}])").arg(at)));
        QTRY_COMPARE_WITH_TIMEOUT(picture(0)->pixmap().size(), QSize(496, 170),
                                  testing::kPatienceMs);
        QVERIFY(QFileInfo(entry).isFile() || !QFileInfo::exists(entry));
        QVERIFY(!QFileInfo::exists(QFileInfo(entry).path() + "/zero.d"));
    }

    void profile_list_shapes() {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("^Server profiles parse failed"));
        for (const auto& [body, title, count] :
             {std::tuple{R"([{"name":"A"},{"name":"B"}])", "A", 2},
              {R"({"items":3,"data":[{"name":"D"}]})", "D", 1},
              {R"({"x":[]})", "launch.server_profiles_empty", 0},
              {R"([{"name":"V","required_role_id":5},7])", "launch.server_profiles_role_blocked",
               0}}) {
            fixture->service.reply("GET", kProfiles, {200, body});
            make_screen();
            QCOMPARE(selector(), app::tr(title));
            QCOMPARE(entries().size(), count);
            QCOMPARE(playable(), count > 0);
        }
    }

    void role_gating() {
        make_screen();
        for (const auto& [required, user, allowed] :
             {std::tuple{1., "{}", true},
              {2., "{}", false},
              {2., R"({"role_id":2})", true},
              {2., R"({"role_id":"2"})", false},
              {2147483648., "{}", false},
              {2147483648., R"({"role_id":2147483648})", true},
              {1e300, "{}", false},
              {2.5, "{}", true},  // not a whole number: no requirement at all
              {7., R"({"role_id":7.5,"donate_roles":[{"role_id":7.5,"is_active":true}]})", false},
              {2., R"({"donate_roles":["x",{"role_id":2,"is_active":true}]})", true},
              {2., R"({"donate_roles":[{"role_id":2}]})", false}}) {
            screen->set_user(QJsonDocument::fromJson(user).object());
            QVERIFY2(screen->is_profile_allowed({{"required_role_id", required}}) == allowed, user);
        }
    }

    void local_picture_addresses_are_never_opened() {
        make_screen();
        const QRegularExpression warning("^Ignored a picture address that is not http\\(s\\)");
        for (const QString address : {"file:///dev/zero", "/dev/stdin", "ftp://127.0.0.1/p.png"}) {
            QTest::ignoreMessage(QtWarningMsg, warning);
            QTest::ignoreMessage(QtWarningMsg, warning);
            screen->render_news({QJsonObject{{"id", 1}, {"images", QJsonArray{address}}}});
            screen->render_server_profiles({QJsonObject{{"name", "A"}, {"image_url", address}}});
        }
        QTest::qWait(100);
        QVERIFY(picture(0)->pixmap().isNull());
    }

    void only_web_picture_formats_are_decoded() {
        const QStringList web{"PNG", "JPEG", "WEBP"};
        for (const QString& format : web + QStringList{"BMP", "TIFF"}) {
            if (!web.contains(format) &&
                !QImageWriter::supportedImageFormats().contains(format.toLower().toLatin1())) {
                continue;  // the Windows build carries no TIFF plugin at all
            }
            QBuffer buffer;
            QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(&buffer, qPrintable(format)));
            const QImage decoded = ui::screens::decode_bounded_image(buffer.data());
            QVERIFY2(decoded.isNull() != web.contains(format), qPrintable(format));
        }
    }

    // Each entry: the name, the description on a line of its own, the chosen one checked;
    // the keyboard still walks the menu and chooses by the entry's index.
    void profile_menu_entries() {
        const QString long_name(120, 'N');
        const QByteArray list = R"([{"name":"Gold Vault","description":"For holders of Gold"},)";
        fixture->service.reply("GET", kProfiles,
                               {200, list + "{\"name\":\"" + long_name.toUtf8() + "\"}]"});
        make_screen();
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
        const auto open_menu_and_press = [this](const QList<Qt::Key>& keys) {
            QTimer::singleShot(50, [keys] {
                for (const Qt::Key key : keys) {
                    QTest::keyClick(QApplication::activePopupWidget(), key);
                }
            });
            screen->findChild<QPushButton*>("server_profile_dropdown_button")->click();
        };
        open_menu_and_press({Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
        QCOMPARE(selector(), long_name);
        open_menu_and_press({Qt::Key_Escape});
        const auto texts = [this](int entry, const char* part) {
            return static_cast<QWidgetAction*>(entries()[entry])
                ->defaultWidget()
                ->findChild<QLabel*>(QString("server_profile_entry_") + part);
        };
        QCOMPARE(texts(0, "name")->text(), QString("Gold Vault"));
        QCOMPARE(texts(0, "description")->text(), QString("For holders of Gold"));
        QVERIFY(texts(1, "name")->text().endsWith(QChar(0x2026)));
        QCOMPARE(texts(1, "name")->toolTip(), long_name);
        QCOMPARE(entries()[1]->data().toInt(), 1);
        QVERIFY(texts(0, "mark")->pixmap().isNull() && !texts(1, "mark")->pixmap().isNull());
    }

    // The entry under the pointer is highlighted as the keyboard's is, whether it shows a
    // description or only a name.
    void profile_menu_marks_the_entry_under_the_mouse_data() {
        QTest::addColumn<int>("entry");
        QTest::newRow("name and description") << 0;
        QTest::newRow("name only") << 1;
    }
    void profile_menu_marks_the_entry_under_the_mouse() {
        QFETCH(int, entry);
        fixture->service.reply("GET", kProfiles,
                               {200, R"([{"name":"Gold","description":"For Gold"},{"name":"B"}])"});
        make_screen();
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
        QList<bool> current;
        QTimer::singleShot(50, [&] {
            const auto marked = [this](int index) {
                return static_cast<QWidgetAction*>(entries()[index])
                    ->defaultWidget()
                    ->property("current")
                    .toBool();
            };
            auto* row = static_cast<QWidgetAction*>(entries()[entry])->defaultWidget();
            // A real pointer on some platforms (Windows): its move arrives a little later.
            QTest::mouseMove(row, QPoint(row->width() / 2, row->height() / 2));
            const bool moved = QTest::qWaitFor([&] { return marked(entry); }, 3000);
            current = {moved && marked(0), moved && marked(1)};
            QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
        });
        screen->findChild<QPushButton*>("server_profile_dropdown_button")->click();
        QCOMPARE(current, QList<bool>({entry == 0, entry == 1}));
    }

    // A long nickname or title ends in "…" instead of being cut or widening the screen.
    void long_texts_are_elided() {
        make_screen();
        screen->show();
        QVERIFY(QTest::qWaitForWindowExposed(screen.get()));
        const QString nickname(60, 'W');
        screen->set_account_name(nickname);
        auto* account = screen->findChildren<QPushButton*>().first();
        QVERIFY(account->text().endsWith(QChar(0x2026)) && account->toolTip() == nickname);
        const int width = label("news_primary_title")->width();
        const QString title = QString("Title with descenders gjpqy ").repeated(6);
        screen->render_news(array(QString(R"([{"id":1,"title":"%1"}])").arg(title)));
        QCoreApplication::processEvents();
        QCOMPARE(label("news_primary_title")->width(), width);
        QCOMPARE(label("news_primary_title")->text(), title.trimmed());
        QVERIFY(label("news_primary_title")->height() >=
                label("news_primary_title")->fontMetrics().height());
    }

    void large_answers_are_rendered_in_part() {
        make_screen();
        QJsonArray profiles;
        for (int i = 0; i < 100000; ++i) {
            profiles.append(QJsonObject{{"name", QString("P%1").arg(i)}});
        }
        screen->render_server_profiles(profiles);
        QCOMPARE(entries().size(), 200);
        const QString huge(1 << 20, 'x');
        screen->render_news({QJsonObject{{"id", 1}, {"title", huge}, {"summary", huge}}});
        QCOMPARE(title(0), QString(199, 'x') + QChar(0x2026));
    }
};

QTEST_MAIN(LaunchScreenTest)
#include "test_launch_screen.moc"
