#include "diagnostics/session_log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <algorithm>
#include <functional>
#include <vector>

#include "diagnostics/hwid.h"
#include "diagnostics/machine_info.h"
#include "diagnostics/timestamps.h"
#include "outside/outside_data.h"
#include "storage/data_folder.h"

namespace halvark::diagnostics {

namespace {

const QString kStartMarker = QStringLiteral("=== Halvark Launcher Session Start ===");
const QString kEndMarker = QStringLiteral("=== End Session Header ===");

// Enough for a report's 4000 lines of 500 characters; a log is never read whole past it.
constexpr qint64 kMaxCollectedLogBytes = 4LL << 20;

// Guards the file's creation, its header and every appended line.
QMutex log_mutex;
QString current_log_path;
// Kept open between lines, unbuffered: each line reaches the file (and any reader of it)
// before append_log_line returns, without paying an open and a close per line.
QFile log_file;

// Opens the current log for appending unless it already is; false when it cannot be.
bool ensure_log_open() {
    if (log_file.isOpen()) {
        return true;
    }
    log_file.setFileName(current_log_path);
    return log_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

void ensure_logs_directory() {
    QDir().mkpath(storage::logs_directory());
}

QByteArray header_text() {
    const QDateTime local = QDateTime::currentDateTime();
    const QDateTime utc = local.toUTC();
    const MachineInfo machine = current_machine_info();
    const QString cpu_model = qEnvironmentVariable("PROCESSOR_IDENTIFIER");
    const QString user = qEnvironmentVariableIsSet("USER") ? qEnvironmentVariable("USER")
                                                           : qEnvironmentVariable("USERNAME");
    const QString hwid =
        compute_hwid(cpu_model, QString(), QString(), machine.machine_id, QString());

    const QStringList lines = {
        kStartMarker,
        "START_LOCAL=" + local.toString("yyyy-MM-ddTHH:mm:ss.zzz"),
        "START_UTC=" + utc.toString("yyyy-MM-ddTHH:mm:ss.zzz") + 'Z',
        "TIMEZONE=" + local.timeZoneAbbreviation(),
        "HOSTNAME=" + machine.hostname,
        "OS=" + machine.os,
        "KERNEL=" + machine.kernel,
        "CPU_ARCH=" + machine.cpu_arch,
        "APP_USER=" + user,
        "CPU_MODEL=" + cpu_model,
        QStringLiteral("MOTHERBOARD_SERIAL="),
        QStringLiteral("ROOT_VOLUME_ID="),
        "OS_MACHINE_ID=" + machine.machine_id,
        QStringLiteral("ETC_MACHINE_ID="),
        "HWID_SHA256=" + hwid,
        kEndMarker,
    };
    return (lines.join('\n') + '\n').toUtf8();
}

}  // namespace

namespace {

// "yyyy-MM-dd_HH-mm-ss.log", the name a run gives its log.
}  // namespace

void start_session_log() {
    QMutexLocker lock(&log_mutex);
    ensure_logs_directory();
    if (!current_log_path.isEmpty()) {
        return;
    }
    const QString name = QDateTime::currentDateTime().toString("yyyy-MM-dd_HH-mm-ss") + ".log";
    current_log_path = storage::logs_directory() + '/' + name;
    if (ensure_log_open()) {
        log_file.write(header_text());
    }
}

QString current_log_name() {
    QMutexLocker lock(&log_mutex);
    return current_log_path.mid(current_log_path.lastIndexOf('/') + 1);
}

void append_log_line(const QString& text) {
    QMutexLocker lock(&log_mutex);
    if (current_log_path.isEmpty()) {
        lock.unlock();
        start_session_log();
        lock.relock();
    }
    if (!ensure_log_open()) {
        return;  // tried again with the next line
    }
    const QByteArray line = (local_log_timestamp() + ' ' + text + '\n').toUtf8();
    if (log_file.write(line) != line.size()) {
        log_file.close();  // reopened for the next line
    }
}

QStringList session_header_lines() {
    QString path;
    {
        QMutexLocker lock(&log_mutex);
        path = current_log_path;
    }
    if (path.isEmpty()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QStringList lines;
    bool in_header = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty()) {
            continue;
        }
        if (!in_header && line != kStartMarker) {
            continue;
        }
        if (!in_header) {
            in_header = true;
            lines.append("===== " + QFileInfo(path).fileName() + " =====");
        }
        lines.append(line);
        if (line == kEndMarker) {
            break;
        }
    }
    return lines;
}

bool is_session_header_line(const QString& text) {
    static const QStringList prefixes = {
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
    };
    if (text.startsWith("===== ") && text.endsWith(".log =====")) {
        return true;
    }
    if (text == kStartMarker || text == kEndMarker) {
        return true;
    }
    return std::any_of(prefixes.cbegin(), prefixes.cend(),
                       [&text](const QString& prefix) { return text.startsWith(prefix); });
}

QString collect_log_text(qint32 max_files, qint32* collected) {
    if (collected != nullptr) {
        *collected = 0;
    }
    // Logs are never deleted, so the folder may hold a great many: the folder is read once,
    // times with names, and only the newest are ordered. Times, not names: a name shows when
    // a run began by its local clock, which moves back and forth.
    const QString folder = storage::logs_directory();
    std::vector<outside::FolderFile> logs =
        outside::list_plain_files(folder, QLatin1String(".log"));
    const auto count = static_cast<std::ptrdiff_t>(
        std::min(static_cast<std::size_t>(std::max(max_files, 0)), logs.size()));
    std::partial_sort(logs.begin(), logs.begin() + count, logs.end(),
                      [](const outside::FolderFile& a, const outside::FolderFile& b) {
                          return a.modified_ms != b.modified_ms ? a.modified_ms > b.modified_ms
                                                                : a.name > b.name;
                      });
    QString text;
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        const QString one = log_text(logs[static_cast<std::size_t>(i)].name);
        if (one.isEmpty()) {
            continue;
        }
        text += one + "\n\n";
        if (collected != nullptr) {
            ++*collected;
        }
    }
    return text;
}

QString log_text(const QString& name) {
    const QString path = storage::logs_directory() + '/' + name;
    const QFileInfo info(path);
    QFile file(path);
    // A link could bring any readable file into a report, a FIFO would block the reader.
    if (!info.isFile() || info.isSymLink() || !file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return "===== " + name + " =====\n" + QString::fromUtf8(file.read(kMaxCollectedLogBytes));
}

}  // namespace halvark::diagnostics
