// Answers that never end, for every request the launcher makes: memory stays bounded, the
// window keeps repainting, and the next request is answered.
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "account_fixture.h"
#include "diagnostics/crash_reporter.h"
#include "endless_peer.h"
#include "image_samples.h"
#include "storage/session_store.h"
#include "test_support.h"
#include "ui/screens/launch_screen.h"

using namespace halvark;
using namespace halvark::testing;

namespace {

constexpr qint64 kMostGrowth = 100LL << 20;

// Counts the paints a widget gets, to tell a window that repaints from one that is stuck.
class PaintCounter : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

}  // namespace

class HostileAnswersTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    qint64 idle = 0;

    // Runs the event loop until `done` (for a trickle, for a few seconds) or until memory
    // grows past its bound, which fails the row; then asks for a repaint and sees it arrive.
    void watch(QWidget* window, const std::function<bool()>& done, bool trickle) {
        qint64 growth = 0;
        const auto grown = [&] {
            growth = std::max(growth, resident_bytes() - idle);
            return growth >= kMostGrowth;
        };
        if (trickle) {
            static_cast<void>(QTest::qWaitFor(grown, 3000));  // the growth below says how it went
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(grown() || done(), kPatienceMs);
        }
        QVERIFY2(growth < kMostGrowth, qPrintable(QString("grew by %1 MiB").arg(growth >> 20)));
        PaintCounter counter;
        window->installEventFilter(&counter);
        window->update();
        QTRY_VERIFY_WITH_TIMEOUT(counter.paints > 0, kPatienceMs);
        window->removeEventFilter(&counter);
    }

  private Q_SLOTS:
    // What the first screen loads once (fonts, plugins, the HTTP client) is not growth.
    void initTestCase() {
        AccountFixture warm;
        warm.service.reply("GET", "/fine.png", {200, two_colour_png(8, 8, Qt::red, Qt::blue)});
        ui::screens::LaunchScreen screen;
        screen.show();
        screen.render_news(
            {QJsonObject{{"id", 1}, {"images", QJsonArray{warm.service.url("/fine.png")}}}});
        QTRY_VERIFY_WITH_TIMEOUT(
            !screen.findChild<QLabel*>("news_primary_image")->pixmap().isNull(), kPatienceMs);
    }
    void init() {
        fixture = std::make_unique<AccountFixture>();
        idle = resident_bytes();
    }
    void cleanup() { fixture.reset(); }

    void launch_screen_requests_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QByteArray>("repeated");
        QTest::addColumn<int>("interval_ms");
        for (const HostileAnswer& answer : hostile_answers()) {
            QTest::newRow(answer.name) << answer.head << answer.repeated << answer.interval_ms;
        }
    }
    // The news list, the server-profile list, a news picture, a background and the avatar,
    // all from the hostile peer at once; then a picture from the real service still shows.
    void launch_screen_requests() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, repeated);
        QFETCH(int, interval_ms);
        EndlessPeer peer(head, repeated, interval_ms);
        qputenv("HALVARK_LAUNCHER_API_URL", peer.url.chopped(1).toUtf8());
        qputenv("HALVARK_LAUNCHER_SITE_URL", peer.url.chopped(1).toUtf8());
        ui::screens::LaunchScreen screen;
        screen.resize(1000, 760);
        screen.show();
        screen.render_news({QJsonObject{{"id", 1}, {"images", QJsonArray{peer.url + "news.png"}}}});
        screen.render_server_profiles(
            {QJsonObject{{"name", "A"}, {"image_url", peer.url + "background.png"}}});
        screen.set_avatar_uuid("u1");
        const int kinds = 5;
        watch(
            &screen, [&] { return peer.connections() >= kinds && peer.open_connections() == 0; },
            interval_ms > 0);
        QCOMPARE(peer.connections(), kinds);

        fixture->service.reply("GET", "/fine.png", {200, two_colour_png(8, 8, Qt::red, Qt::blue)});
        screen.render_news(
            {QJsonObject{{"id", 1}, {"images", QJsonArray{fixture->service.url("/fine.png")}}}});
        QTRY_VERIFY_WITH_TIMEOUT(
            !screen.findChild<QLabel*>("news_primary_image")->pixmap().isNull(), kPatienceMs);
    }

    void credential_requests_data() { launch_screen_requests_data(); }
    // The sign-in, the current user, the hardware id and a crash report to the hostile peer
    // each give up within their time-out; the next request to the service is answered.
    void credential_requests() {
        QFETCH(QByteArray, head);
        QFETCH(QByteArray, repeated);
        QFETCH(int, interval_ms);
        EndlessPeer peer(head, repeated, interval_ms);
        for (const char* name : {"HALVARK_LAUNCHER_LOGIN_URL", "HALVARK_LAUNCHER_ME_URL",
                                 "HALVARK_LAUNCHER_HWID_URL"}) {
            qputenv(name, peer.url.toUtf8());
        }
        auto window = fixture->make_window();
        window->show();
        window->set_account_timeouts({1500, 1500, 1500});
        QString shown;
        bool done = false;
        // Each request waits in a loop of its own: the checks run from a timer meanwhile.
        QTimer::singleShot(0, [&] {
            QString name, token;
            qint64 expires = 0;
            capture_next_message(&shown);
            QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
            QCOMPARE(window->fetch_me("tok"), QJsonObject());
            QVERIFY(!window->submit_hwid("tok"));
            auto& reporter = diagnostics::CrashReporter::instance();
            reporter.init({peer.url, "test", "r"});
            reporter.set_user("tok", QJsonObject{{"uuid", "u1"}});
            QVERIFY(!reporter.forced_report("report"));
            reporter.clear_user();
            done = true;
        });
        watch(
            window.get(), [&] { return done; }, false);
        QVERIFY(!shown.isEmpty());
        QCOMPARE(peer.connections(), 4);

        fixture->service.reply("POST", kHwidPath, {204, QByteArray()});
        qputenv("HALVARK_LAUNCHER_HWID_URL", fixture->service.url(kHwidPath).toUtf8());
        QVERIFY(fixture->make_window()->submit_hwid("tok"));
    }
};

QTEST_MAIN(HostileAnswersTest)
#include "test_hostile_answers.moc"
