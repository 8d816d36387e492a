// Each account request gives up on a silent service after its own time-out. CTest runs
// every function as its own test so that the waits overlap.
#include <QElapsedTimer>
#include <QMessageBox>
#include <QtTest>

#include "account_fixture.h"

using namespace halvark;
using namespace halvark::testing;

class AccountTimeoutsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<AccountFixture> fixture;
    std::unique_ptr<ui::MainWindow> window;
    QElapsedTimer clock;

    void expect_elapsed(qint64 timeout_ms) {
        QVERIFY2(clock.elapsed() >= timeout_ms - 100, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(clock.elapsed() < timeout_ms + 2500, qPrintable(QString::number(clock.elapsed())));
    }

  private Q_SLOTS:
    void init() {
        fixture = std::make_unique<AccountFixture>();
        window = fixture->make_window();
        clock.start();
    }
    void cleanup() {
        window.reset();
        fixture.reset();
    }

    void login_times_out() {
        fixture->service.never_answer("POST", kLoginPath);
        QString shown;
        capture_next_message(&shown);
        QString name, token;
        qint64 expires = 0;
        // The login logs nothing (an aborted reply is never read); the offscreen platform's
        // own complaint about the message box is no concern of ours.
        QTest::failOnWarning(QRegularExpression("^(?!This plugin does not support)"));
        clock.start();
        QVERIFY(!window->perform_login("Rook", "pw", name, token, expires));
        expect_elapsed(ui::kLoginTimeoutMs);
        QVERIFY(!shown.isEmpty());
        QVERIFY(!shown.startsWith("HTTP"));
    }

    void current_user_times_out() {
        fixture->service.never_answer("GET", kMePath);
        Qt::CursorShape meanwhile = Qt::ArrowCursor;
        QTimer::singleShot(200, [&] { meanwhile = QGuiApplication::overrideCursor()->shape(); });
        QCOMPARE(window->fetch_me("tok"), QJsonObject());
        expect_elapsed(ui::kMeTimeoutMs);
        QCOMPARE(meanwhile, Qt::BusyCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);  // restored after the time-out
    }

    void hardware_id_times_out() {
        fixture->service.never_answer("POST", kHwidPath);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^HWID submit failed: 0 \\S.*$"));
        QVERIFY(!window->submit_hwid("tok"));
        expect_elapsed(ui::kHwidTimeoutMs);
    }
};

QTEST_MAIN(AccountTimeoutsTest)
#include "test_account_timeouts.moc"
