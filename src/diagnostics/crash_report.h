#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace halvark::diagnostics {

constexpr int kReportTimeoutMs = 5000;
constexpr qsizetype kMaxReportLogEntries = 500;
constexpr qsizetype kMaxReportLogLineLength = 4000;

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

// Recent events first, then the non-empty lines of `log_text`, each cut to 4000
// characters, while the array holds fewer than 500 entries.
QJsonArray report_logs(const QStringList& recent_events, const QString& log_text);

QJsonObject build_report_payload(const QString& event_id, const ReportEvent& event,
                                 const ReportContext& context, const QString& log_text);

}  // namespace halvark::diagnostics
