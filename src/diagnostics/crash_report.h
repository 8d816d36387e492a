#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace halvark::diagnostics {

constexpr int kReportTimeoutMs = 5000;
constexpr qsizetype kMaxReportLogEntries = 500;
constexpr qsizetype kMaxReportLogLineLength = 4000;
// A report is bounded before it goes: every recent event is cut to 1000 characters when it is
// recorded, the message and stack trace to 16000, the log lines to 256 Ki characters in all,
// a user object of more than 64 KiB to its uuid and nickname (each cut marked), and a body
// still over 1 MiB loses log lines, then events, then text until it fits.
constexpr qsizetype kMaxReportEventChars = 1000;
constexpr qsizetype kMaxReportTextChars = 16000;
constexpr qsizetype kMaxReportLogChars = 256LL * 1024;
constexpr qsizetype kMaxReportUserBytes = 64LL * 1024;
constexpr qsizetype kMaxReportBodyBytes = 1024LL * 1024;

struct ReportEvent {
    QString level;
    QString message;
    QString exception_type;
    QString stacktrace;
    bool fatal = false;
};

// What the reporter knows when the event is captured.
struct ReportContext {
    QString environment;
    QString release;
    QJsonObject user;
    QStringList recent_events;
};

// Recent events first (each cut to kMaxReportEventChars), then the non-empty lines of
// `log_text`, each cut to 4000 characters, while the array holds fewer than 500 entries and
// the log lines stay within `max_log_chars`; a last entry marks where the log was cut.
QJsonArray report_logs(const QStringList& recent_events, const QString& log_text,
                       qsizetype max_log_chars = kMaxReportLogChars);

QJsonObject build_report_payload(const QString& event_id, const ReportEvent& event,
                                 const ReportContext& context, const QString& log_text,
                                 qsizetype max_log_chars = kMaxReportLogChars);

// The compact JSON body of the report, at most kMaxReportBodyBytes as sent: the log, then the
// oldest recent events, then the message and stack trace give way until it fits.
QByteArray bounded_report_body(const QString& event_id, const ReportEvent& event,
                               const ReportContext& context, const QString& log_text);

}  // namespace halvark::diagnostics
