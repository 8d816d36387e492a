// Each account request gives up on a silent service after its own time-out, with the busy
// cursor shown meanwhile and restored after. CTest runs each row as its own test so that the
// waits overlap.
#include <QtTest>

#include "account_fixture.h"

using namespace halvark;
using namespace halvark::testing;

class AccountTimeoutsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void times_out_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("timeout_ms");
        QTest::newRow("login") << kLoginPath << ui::kLoginTimeoutMs;
        QTest::newRow("current_user") << kMePath << ui::kMeTimeoutMs;
        QTest::newRow("hardware_id") << kHwidPath << ui::kHwidTimeoutMs;
    }
    void times_out() {
        QFETCH(QString, path);
        QFETCH(int, timeout_ms);
        AccountFixture fixture;
        auto window = fixture.make_window();
        fixture.service.never_answer(path == kMePath ? "GET" : "POST", path);
        Qt::CursorShape meanwhile = Qt::ArrowCursor;
        QTimer::singleShot(200, [&] { meanwhile = QGuiApplication::overrideCursor()->shape(); });
        // Nothing is logged but the hardware id's failure (an aborted reply is never read);
        // the offscreen platform's own complaint about the message box is no concern of ours.
        QTest::failOnWarning(QRegularExpression("^(?!This plugin does not support|HWID submit)"));
        QElapsedTimer clock;
        clock.start();
        if (path == kLoginPath) {
            QString shown, name, token;
            qint64 expires = 0;
            capture_next_message(&shown);
            QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
            QVERIFY(!shown.isEmpty() && !shown.startsWith("HTTP"));
        } else {
            QVERIFY(path == kMePath ? window->fetch_me("tok").isEmpty()
                                    : !window->submit_hwid("tok"));
        }
        QVERIFY2(clock.elapsed() >= timeout_ms - 100 && clock.elapsed() < timeout_ms + 2500,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(meanwhile, Qt::BusyCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(AccountTimeoutsTest)
#include "test_account_timeouts.moc"
