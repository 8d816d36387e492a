#pragma once

#include <QString>
#include <QStringList>

namespace halvark::diagnostics {

// Creates this run's log file with the machine header, once per process.
void start_session_log();

// The file name of this run's log ("2026-12-08_23-40-01.log"), empty before the start.
QString current_log_name();

// One time-stamped line; safe from any thread. Never logs anything itself.
void append_log_line(const QString& text);

// The current file's name line and header lines, as echoed to the console at start.
QStringList session_header_lines();
bool is_session_header_line(const QString& text);

// One log of the logs folder by its file name, behind its "===== name =====" line (its
// first 4 MiB); empty when no plain file of that name is there.
QString log_text(const QString& name);

// The newest `max_files` log files, newest first, each behind its "===== name =====" line;
// `collected`, when given, receives how many files that is.
QString collect_log_text(qint32 max_files, qint32* collected = nullptr);

}  // namespace halvark::diagnostics
