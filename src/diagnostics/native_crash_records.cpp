#include "diagnostics/native_crash_records.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>

#include "diagnostics/native_crash_handler.h"
#include "diagnostics/session_log.h"
#include "outside/outside_data.h"
#include "storage/data_folder.h"

namespace halvark::diagnostics {

namespace {

constexpr qint64 kMaxRecordBytes = 64LL * 1024;
constexpr int kMaxRecordFrames = 128;
QString own_record_path;

QString file_name(const QString& path) {
    return path.mid(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1);
}

void remove_record(const NativeCrash& crash, const char* why) {
    qWarning("Native crash record %s %s: removed", qPrintable(file_name(crash.path)), why);
    QFile::remove(crash.path);
    if (!crash.minidump_path.isEmpty()) {
        QFile::remove(crash.minidump_path);
    }
}

// "frame=0x… PATH 0x… BUILD-ID" (PATH may hold spaces) as the report's stack line.
bool parse_frame(const QString& value, int index, QString* line) {
    static const QRegularExpression kFrame(
        QStringLiteral("^(0x[0-9a-f]{1,16}) (.+) (0x[0-9a-f]{1,16}) ([0-9A-Fa-f]{1,64}|-)$"));
    const QRegularExpressionMatch match = kFrame.match(value);
    if (!match.hasMatch()) {
        return false;
    }
    *line = QStringLiteral("#%1 %2 in %3 +%4 build-id %5")
                .arg(QString::number(index), match.captured(1), file_name(match.captured(2)),
                     match.captured(3), match.captured(4));
    return true;
}

}  // namespace

QString native_crash_directory() {
    return storage::launcher_data_directory() + QStringLiteral("/crashes");
}

void start_native_crash_recording(const QString& version) {
    const QString folder = native_crash_directory();
    QDir().mkpath(folder);
    QString log_name = current_log_name();
    const QString base = folder + '/' + QString(log_name).remove(QStringLiteral(".log")) + '-' +
                         QString::number(QCoreApplication::applicationPid());
    NativeCrashSetup setup;
#if defined(Q_OS_WIN)
    setup.record_path = (base + ".crash").toStdString();
    setup.minidump_path = (base + ".dmp").toStdString();
#else
    setup.record_path = QFile::encodeName(base + ".crash").toStdString();
#endif
    setup.version = version.toStdString();
    setup.log_name = log_name.toStdString();
    if (install_native_crash_handler(setup)) {
        own_record_path = base + ".crash";
    } else {
        qWarning("Native crashes are not recorded: %s cannot be written",
                 qPrintable(QDir::toNativeSeparators(base + ".crash")));
    }
}

void stop_native_crash_recording() {
    uninstall_native_crash_handler();
}

bool parse_native_crash(const QByteArray& text, NativeCrash* crash) {
    const QStringList lines = QString::fromUtf8(text).split('\n', Qt::SkipEmptyParts);
    if (lines.size() < 7 || lines.first() != QLatin1String("halvark-native-crash 1") ||
        lines.last() != QLatin1String("end") || lines.size() > kMaxRecordFrames + 16) {
        return false;
    }
    static const QRegularExpression kSignal(QStringLiteral("^[A-Z_]{3,40}$"));
    static const QRegularExpression kAddress(QStringLiteral("^0x[0-9a-f]{1,16}$"));
    bool code_ok = false;
    for (const QString& line : lines.mid(1, lines.size() - 2)) {
        const qsizetype equals = line.indexOf('=');
        const QString key = line.left(equals);
        const QString value = line.mid(equals + 1);
        if (equals < 1) {
            return false;
        }
        if (key == QLatin1String("frame")) {
            QString frame;
            if (crash->frames.size() >= kMaxRecordFrames ||
                !parse_frame(value, static_cast<int>(crash->frames.size()), &frame)) {
                return false;
            }
            crash->frames.append(frame);
        } else if (key == QLatin1String("signal")) {
            crash->signal = value;
        } else if (key == QLatin1String("code")) {
            crash->code = value.toLongLong(&code_ok);
        } else if (key == QLatin1String("address")) {
            crash->address = value;
        } else if (key == QLatin1String("version")) {
            crash->version = outside::cut_service_text(value, 100);
        } else if (key == QLatin1String("build_id")) {
            crash->build_id = value;
        } else if (key == QLatin1String("log")) {
            crash->log_name = value;
        }
    }
    // The log is named by this launcher: never a path that leads out of the logs folder.
    const bool log_ok = crash->log_name.isEmpty() ||
                        (crash->log_name.endsWith(QLatin1String(".log")) &&
                         !crash->log_name.contains('/') && !crash->log_name.contains('\\') &&
                         crash->log_name.size() <= 200 && !crash->log_name.startsWith('.'));
    return code_ok && log_ok && kSignal.match(crash->signal).hasMatch() &&
           kAddress.match(crash->address).hasMatch() && !crash->build_id.isEmpty();
}

std::vector<NativeCrash> take_native_crash_records(const QString& folder) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString own_build = QString::fromStdString(program_build_id());
    std::vector<NativeCrash> crashes;
    for (const outside::FolderFile& file :
         outside::list_plain_files(folder, QLatin1String(".crash"))) {
        NativeCrash crash;
        crash.path = folder + '/' + file.name;
        if (QFileInfo(crash.path) == QFileInfo(own_record_path)) {
            continue;
        }
        const QString minidump = QString(crash.path).replace(QStringLiteral(".crash"), ".dmp");
        crash.minidump_path = QFileInfo(minidump).isFile() ? minidump : QString();
        crash.recorded = QDateTime::fromMSecsSinceEpoch(file.modified_ms, QTimeZone::utc());
        const bool too_old = crash.recorded.daysTo(now) > kMaxNativeCrashAgeDays;
        const auto text = outside::read_regular_file(crash.path, kMaxRecordBytes);
        if (text && text->isEmpty()) {
            // A run that ended without its handler's goodbye, or one still running.
            if (too_old) {
                QFile::remove(crash.path);
            }
            continue;
        }
        if (!text || !parse_native_crash(*text, &crash)) {
            remove_record(crash, "is damaged");
        } else if (crash.build_id != own_build) {
            remove_record(crash, "is from another build");
        } else if (too_old) {
            remove_record(crash, "is older than 30 days");
        } else {
            crashes.push_back(crash);
        }
    }
    std::sort(crashes.begin(), crashes.end(), [](const NativeCrash& a, const NativeCrash& b) {
        return a.recorded != b.recorded ? a.recorded > b.recorded : a.path > b.path;
    });
    while (crashes.size() > kMaxNativeCrashRecords) {
        remove_record(crashes.back(), "is beyond the newest ten");
        crashes.pop_back();
    }
    return crashes;
}

}  // namespace halvark::diagnostics
