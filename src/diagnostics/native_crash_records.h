#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

namespace halvark::diagnostics {

// Records are kept this long, and only this many, until a signed-in start sends them.
constexpr qint64 kMaxNativeCrashAgeDays = 30;
constexpr int kMaxNativeCrashRecords = 10;

// A native crash of an earlier run, as its handler recorded it.
struct NativeCrash {
    QString path;           // the record file
    QString minidump_path;  // beside it, where one was written
    QString signal;         // "SIGSEGV", "EXCEPTION_ACCESS_VIOLATION", …
    qint64 code = 0;
    QString address;
    QStringList frames;  // "0x… module +0x… build-id", innermost first
    QString version;
    QString build_id;
    QString log_name;  // the crashed run's own session log
    QDateTime recorded;
};

// The "crashes" folder of the data folder.
QString native_crash_directory();

// Starts recording this run's native crashes (after the crash reporter and the session log);
// stop at a normal end.
void start_native_crash_recording(const QString& version);
void stop_native_crash_recording();

// The records that earlier runs left in `folder`, newest first. A damaged record, one from
// another build, one older than the age limit and those beyond the newest few are removed,
// each with one log line; this run's own record is never looked at.
std::vector<NativeCrash> take_native_crash_records(const QString& folder);

// Parses one record's text; false when it is damaged (or not a record at all).
bool parse_native_crash(const QByteArray& text, NativeCrash* crash);

}  // namespace halvark::diagnostics
