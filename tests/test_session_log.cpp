// The per-run log (header, lines from many threads, collection) and the hardware id.
#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "diagnostics/hwid.h"
#include "diagnostics/session_log.h"

using namespace halvark::diagnostics;

namespace {

QString sha256(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toUpper();
}

QStringList lines_of(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

}  // namespace

// The log path is fixed once per process, so the functions run in order on one file.
class SessionLogTest : public QObject {
    Q_OBJECT

    QTemporaryDir appdata;
    QString log_path() const {
        return logs_directory() + '/' + QDir(logs_directory()).entryList({"*.log"}).value(0);
    }

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
        QVERIFY(
            log_path().contains(QRegularExpression(R"(/\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.log$)")));
        const QStringList lines = lines_of(log_path());
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

    void lines_from_many_threads_stay_whole() {
        QList<QThread*> threads;
        for (int t = 0; t < 4; ++t) {
            threads.append(QThread::create([t] {
                for (int i = 0; i < 400; ++i) {
                    append_log_line(
                        QString("[info] thread %1 line %2 %3").arg(t).arg(i).arg(QString(60, 'x')));
                }
            }));
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }
        const QRegularExpression whole(R"(^\S+ \S+ \[info\] thread \d line \d+ x{60}$)");
        const QStringList lines = lines_of(log_path()).filter("thread ");
        QCOMPARE(lines.size(), 1600);
        QCOMPARE(lines.filter(whole).size(), 1600);
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
