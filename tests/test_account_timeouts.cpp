// Each account request gives up on a silent service after its own time-out, with the busy
// cursor shown meanwhile and restored after.
#include <QtTest>

#include "account_fixture.h"

using namespace halvark;
using namespace halvark::testing;

class AccountTimeoutsTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void times_out_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("login") << kLoginPath;
        QTest::newRow("current_user") << kMePath;
        QTest::newRow("hardware_id") << kHwidPath;
    }
    void times_out() {
        QFETCH(QString, path);
        AccountFixture fixture;
        auto window = fixture.make_window();
        window->set_account_timeouts({300, 300, 300});
        const QString method = path == kMePath ? "GET" : "POST";
        fixture.service.never_answer(method, path);
        Qt::CursorShape meanwhile = Qt::ArrowCursor;
        QTimer::singleShot(200, [&] { meanwhile = QGuiApplication::overrideCursor()->shape(); });
        // Nothing is logged but the hardware id's failure (an aborted reply is never read);
        // the platforms' own complaints about the message box (offscreen's; Qt 6.8's windows
        // platform under Wine, which lacks a DPI call) are no concern of ours.
        QTest::failOnWarning(QRegularExpression(
            "^(?!This plugin does not support|EnableNonClientDpiScaling|HWID submit)"));
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
        QCOMPARE(fixture.service.requests_to(method, path).size(), 1);
        QCOMPARE(meanwhile, Qt::BusyCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    }
};

QTEST_MAIN(AccountTimeoutsTest)
#include "test_account_timeouts.moc"
