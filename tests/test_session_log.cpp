// The per-run log's header and lines, and the hardware id.
#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "diagnostics/hwid.h"
#include "diagnostics/session_log.h"
#include "test_support.h"

using namespace halvark::diagnostics;

namespace {

QString sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toUpper();
}

}  // namespace

class SessionLogTest : public QObject {
    Q_OBJECT

    QTemporaryDir appdata;

  private Q_SLOTS:
    void initTestCase() {
        qputenv("APPDATA", appdata.path().toUtf8());
        qunsetenv("USER");
        qputenv("USERNAME", "alice");
        qunsetenv("PROCESSOR_IDENTIFIER");
    }

    void first_line_creates_the_header() {
        append_log_line("[info] hello");
        start_session_log();  // a second start adds nothing
        const QString name = QDir(logs_directory()).entryList({"*.log"}).value(0);
        QVERIFY(name.contains(QRegularExpression(R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.log$)")));
        const QStringList lines =
            QString(halvark::testing::read_file(logs_directory() + '/' + name))
                .split('\n', Qt::SkipEmptyParts);
        const QStringList keys = QString(
                                     "=== Halvark Launcher Session Start ===|START_LOCAL=|"
                                     "START_UTC=|TIMEZONE=|HOSTNAME=|OS=|KERNEL=|CPU_ARCH=|"
                                     "APP_USER=alice|CPU_MODEL=|MOTHERBOARD_SERIAL=|"
                                     "ROOT_VOLUME_ID=|OS_MACHINE_ID=|ETC_MACHINE_ID=|"
                                     "HWID_SHA256=|=== End Session Header ===")
                                     .split('|');
        QCOMPARE(lines.size(), keys.size() + 1);
        for (int i = 0; i < keys.size(); ++i) {
            QVERIFY2(lines[i].startsWith(keys[i]) && is_session_header_line(lines[i]),
                     qPrintable(lines[i]));
        }
        const QString machine = QSysInfo::machineUniqueId();
        QCOMPARE(lines[14], "HWID_SHA256=" + compute_hwid("", "", "", machine, ""));
        QVERIFY(lines[16].contains(
            QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[info\] hello$)")));
        QCOMPARE(session_header_lines().size(), 17);  // the file's name line and the header
        QVERIFY(!is_session_header_line("[info] HWID_SHA256=ABC"));
        QVERIFY(!is_session_header_line("===== notes.txt ====="));
    }

    void hardware_id() {
        QCOMPARE(compute_hwid("", "", "", "", ""), sha256("halvark_launcher_unknown_hwid_v2"));
        QCOMPARE(compute_hwid("ab", "", "", "c", ""), sha256("abc"));
        qputenv("PROCESSOR_IDENTIFIER", "Intel64");
        QCOMPARE(current_hwid(), compute_hwid("Intel64", "", "", QSysInfo::machineUniqueId(), ""));
    }
};

QTEST_GUILESS_MAIN(SessionLogTest)
#include "test_session_log.moc"
