#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include "diagnostics/hwid.h"
#include "diagnostics/session_log.h"

using namespace halvark::diagnostics;

namespace {

QString sha256_upper(const QByteArray& bytes) {
    return QString::fromLatin1(
        QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex().toUpper());
}

QString machine_id() {
    return QString::fromUtf8(QSysInfo::machineUniqueId());
}

}  // namespace

// The log path is fixed once per process, so the functions below run in order on one file.
class SessionLogTest : public QObject {
    Q_OBJECT

    QTemporaryDir appdata;

    QString log_path() const {
        const QStringList files =
            QDir(logs_directory()).entryList({"*.log"}, QDir::Files, QDir::Name);
        return files.isEmpty() ? QString() : logs_directory() + '/' + files.first();
    }
    QStringList file_lines() const {
        QFile file(log_path());
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }

  private Q_SLOTS:
    void initTestCase() {
        qputenv("APPDATA", appdata.path().toUtf8());
        qunsetenv("USER");
        qputenv("USERNAME", "alice");
        qunsetenv("PROCESSOR_IDENTIFIER");
    }

    void first_line_creates_the_header() {
        QCOMPARE(logs_directory(), appdata.path() + "/.halvark_launcher/logs");
        append_log_line("[info] hello");
        QVERIFY(QFileInfo(log_path())
                    .fileName()
                    .contains(QRegularExpression(R"(^\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d\.log$)")));
        const QStringList lines = file_lines();
        QCOMPARE(lines.size(), 17);
        const QStringList keys = {"=== Halvark Launcher Session Start ===",
                                  "START_LOCAL=",
                                  "START_UTC=",
                                  "TIMEZONE=",
                                  "HOSTNAME=",
                                  "OS=",
                                  "KERNEL=",
                                  "CPU_ARCH=",
                                  "APP_USER=",
                                  "CPU_MODEL=",
                                  "MOTHERBOARD_SERIAL=",
                                  "ROOT_VOLUME_ID=",
                                  "OS_MACHINE_ID=",
                                  "ETC_MACHINE_ID=",
                                  "HWID_SHA256=",
                                  "=== End Session Header ==="};
        for (int i = 0; i < keys.size(); ++i) {
            QVERIFY2(lines.at(i).startsWith(keys.at(i)), qPrintable(lines.at(i)));
        }
        QCOMPARE(lines.at(8), QString("APP_USER=alice"));
        QCOMPARE(lines.at(9), QString("CPU_MODEL="));
        QCOMPARE(lines.at(10), QString("MOTHERBOARD_SERIAL="));
        QVERIFY(lines.at(2).contains(
            QRegularExpression(R"(^START_UTC=\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)")));
        QCOMPARE(lines.at(12), "OS_MACHINE_ID=" + machine_id());
        QCOMPARE(lines.at(14), "HWID_SHA256=" + compute_hwid("", "", "", machine_id(), ""));
        QVERIFY(lines.at(16).contains(
            QRegularExpression(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[info\] hello$)")));
    }

    void second_start_adds_no_header() {
        start_session_log();
        QCOMPARE(file_lines().count("=== Halvark Launcher Session Start ==="), 1);
    }

    void header_lines_read_back() {
        const QStringList header = session_header_lines();
        QCOMPARE(header.size(), 17);
        QCOMPARE(header.first(), "===== " + QFileInfo(log_path()).fileName() + " =====");
        QCOMPARE(header.at(1), QString("=== Halvark Launcher Session Start ==="));
        QCOMPARE(header.last(), QString("=== End Session Header ==="));
        for (const QString& line : header) {
            QVERIFY2(is_session_header_line(line), qPrintable(line));
        }
    }

    void header_line_test_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("is_header");
        QTest::newRow("name line") << "===== 2020-01-01_00-00-00.log =====" << true;
        QTest::newRow("hwid with anything") << "HWID_SHA256=whatever" << true;
        QTest::newRow("message starting like a key") << "OS=is a prefix too" << true;
        QTest::newRow("lower-case key") << "hwid_sha256=ABC" << false;
        QTest::newRow("log line with level") << "[info] HWID_SHA256=ABC" << false;
        QTest::newRow("name line of another file") << "===== notes.txt =====" << false;
        QTest::newRow("marker") << "=== End Session Header ===" << true;
        QTest::newRow("ordinary") << "Starting Halvark Launcher v0.1.0 (Halvark)" << false;
    }
    void header_line_test() {
        QFETCH(QString, text);
        QTEST(is_session_header_line(text), "is_header");
    }

    void concurrent_lines_stay_whole() {
        constexpr int kThreads = 4;
        constexpr int kLines = 400;
        QList<QThread*> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.append(QThread::create([t] {
                for (int i = 0; i < kLines; ++i) {
                    append_log_line(
                        QString("[info] thread %1 line %2 %3").arg(t).arg(i).arg(QString(60, 'x')));
                }
            }));
        }
        for (QThread* thread : threads) {
            thread->start();
        }
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(30000));
            delete thread;
        }
        const QRegularExpression whole(
            R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[info\] thread \d line \d+ x{60}$)");
        int count = 0;
        for (const QString& line : file_lines()) {
            if (line.contains("thread ")) {
                QVERIFY2(whole.match(line).hasMatch(), qPrintable(line));
                ++count;
            }
        }
        QCOMPARE(count, kThreads * kLines);
    }

    void collect_takes_newest_files_first() {
        const QDateTime now = QDateTime::currentDateTime();
        const QList<QPair<QString, int>> files = {{"b.log", 100},
                                                  {"a.log", 200},
                                                  {"c.log", -500},
                                                  {"skip.txt", 300},
                                                  {".hidden.log", 400}};
        for (const auto& [name, offset] : files) {
            QFile file(logs_directory() + '/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name.toUtf8() + " content");
            file.flush();
            QVERIFY(file.setFileTime(now.addSecs(offset), QFileDevice::FileModificationTime));
        }
        QCOMPARE(collect_log_text(0), QString());
        QCOMPARE(collect_log_text(1), QString("===== a.log =====\na.log content\n\n"));
        const QString three = collect_log_text(3);
        QVERIFY(three.startsWith(
            "===== a.log =====\na.log content\n\n===== b.log =====\nb.log content\n\n===== "));
        QVERIFY(!three.contains("c.log content"));
        QVERIFY(!three.contains("skip.txt") && !three.contains(".hidden"));
        QCOMPARE(collect_log_text(50).count("===== "), 4);
    }

    void hwid_vectors_data() {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all empty uses the fallback")
            << QStringList{"", "", "", "", ""} << sha256_upper("halvark_launcher_unknown_hwid_v2");
        QTest::newRow("cpu only")
            << QStringList{"abc", "", "", "", ""}
            << QString("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
        QTest::newRow("joined without separators")
            << QStringList{"ab", "", "", "c", ""} << sha256_upper("abc");
        QTest::newRow("utf-8") << QStringList{"", "", "", QString::fromUtf8("машина"), ""}
                               << sha256_upper(QString::fromUtf8("машина").toUtf8());
    }
    void hwid_vectors() {
        QFETCH(QStringList, ids);
        const QString hwid = compute_hwid(ids[0], ids[1], ids[2], ids[3], ids[4]);
        QTEST(hwid, "expected");
        QCOMPARE(hwid.size(), 64);
        QCOMPARE(hwid, hwid.toUpper());
    }

    void current_hwid_reads_cpu_and_machine_id() {
        qputenv("PROCESSOR_IDENTIFIER", "Intel64 Family 6");
        QCOMPARE(current_hwid(), compute_hwid("Intel64 Family 6", "", "", machine_id(), ""));
        qunsetenv("PROCESSOR_IDENTIFIER");
    }
};

QTEST_GUILESS_MAIN(SessionLogTest)
#include "test_session_log.moc"
