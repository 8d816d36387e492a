#include "diagnostics/crash_report.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QUuid>

#include "diagnostics/crash_reporter.h"
#include "diagnostics/machine_info.h"
#include "diagnostics/session_log.h"
#include "diagnostics/timestamps.h"
#include "net/http_exchange.h"
#include "net/network_policy.h"
#include "outside/outside_data.h"

namespace halvark::diagnostics {

QJsonArray report_logs(const QStringList& recent_events, const QString& log_text,
                       qsizetype max_log_chars) {
    QJsonArray logs;
    for (const QString& event : recent_events) {
        logs.append(outside::cut_service_text(event, kMaxReportEventChars));
    }
    if (log_text.trimmed().isEmpty()) {
        return logs;
    }
    qsizetype log_chars = 0;
    for (const QStringView piece : QStringView(log_text).split(u'\n', Qt::SkipEmptyParts)) {
        if (logs.size() >= kMaxReportLogEntries) {
            break;
        }
        const QStringView line = piece.left(kMaxReportLogLineLength);
        if (log_chars + line.size() > max_log_chars) {
            logs.append(QStringLiteral("[log cut at %1 characters]").arg(log_chars));
            break;
        }
        log_chars += line.size();
        logs.append(line.toString());
    }
    return logs;
}

namespace {

// A user object that would outweigh the report keeps only what names the account.
QJsonObject bounded_user(const QJsonObject& user) {
    if (QJsonDocument(user).toJson(QJsonDocument::Compact).size() <= kMaxReportUserBytes) {
        return user;
    }
    return {{"uuid", outside::cut_service_text(user.value("uuid").toString(), 200)},
            {"nickname", outside::cut_service_text(user.value("nickname").toString(), 200)},
            {"cut", true}};
}

}  // namespace

QByteArray bounded_report_body(const QString& event_id, const ReportEvent& event,
                               const ReportContext& context, const QString& log_text) {
    ReportEvent cut = event;
    cut.message = outside::cut_service_text(event.message, kMaxReportTextChars);
    cut.stacktrace = outside::cut_service_text(event.stacktrace, kMaxReportTextChars);
    ReportContext bounded = context;
    bounded.user = bounded_user(context.user);
    QJsonObject payload = build_report_payload(event_id, cut, bounded, log_text);
    QByteArray body = QJsonDocument(payload).toJson(QJsonDocument::Compact);
    // Characters that JSON or UTF-8 write wide can still tip it over: fewer log lines then.
    for (qsizetype budget = kMaxReportLogChars / 2; body.size() > kMaxReportBodyBytes;
         budget /= 2) {
        payload.insert("logs", report_logs(bounded.recent_events, log_text, budget));
        body = QJsonDocument(payload).toJson(QJsonDocument::Compact);
        if (budget == 0) {
            break;
        }
    }
    return body;
}

QJsonObject build_report_payload(const QString& event_id, const ReportEvent& event,
                                 const ReportContext& context, const QString& log_text) {
    const MachineInfo machine = current_machine_info();
    const QJsonObject system{
        {"os", machine.os},
        {"kernel", machine.kernel},
        {"cpu_arch", machine.cpu_arch},
        {"machine_id", machine.machine_id},
        {"hostname", machine.hostname},
    };
    const QJsonObject app{
        {"name", QStringLiteral("Halvark Launcher")},
        {"version", QCoreApplication::applicationVersion()},
        {"release", context.release},
        {"environment", context.environment},
    };
    const QJsonObject session{
        {"session_id", event_id},
        {"user_uuid", context.user.value("uuid").toString()},
    };
    return QJsonObject{
        {"type", QStringLiteral("error")},
        {"timestamp_utc", utc_timestamp()},
        {"message", event.message},
        {"stacktrace", event.stacktrace},
        {"exception_type", event.exception_type},
        {"level", event.level},
        {"fatal", event.fatal},
        {"event_id", event_id},
        {"session", session},
        {"app", app},
        {"system", system},
        {"logs", report_logs(context.recent_events, log_text)},
        {"user", context.user},
    };
}

bool CrashReporter::send_event(const QString& level, const QString& message,
                               const QString& exception_type, const QString& stacktrace,
                               bool fatal) {
    QString endpoint;
    QString token;
    ReportContext context;
    {
        QMutexLocker lock(&mutex_);
        endpoint = endpoint_url_;
        token = access_token_;
        context = {environment_, release_, user_,
                   QStringList(recent_events_.cbegin(), recent_events_.cend())};
    }
    if (endpoint.trimmed().isEmpty() || token.isEmpty() ||
        QCoreApplication::instance() == nullptr) {
        return false;
    }

    const QString event_id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QByteArray body =
        bounded_report_body(event_id, {level, message, exception_type, stacktrace, fatal}, context,
                            collect_log_text(1));

    const auto authorization = net::bearer_authorization(token);
    if (!authorization) {
        return false;
    }
    const net::HttpRequest request{
        "POST",
        QUrl(endpoint),
        {{"Content-Type", "application/json"},
         {"accept", "application/json"},
         {"Authorization", *authorization},
         {"X-Launcher-Version", QCoreApplication::applicationVersion().toUtf8()},
         {"X-Request-Id", event_id.toUtf8()}},
        body};
    // The credential stays on its origin, and no answer can hold the report past its time.
    const net::HttpAnswer answer =
        net::exchange(request, kReportTimeoutMs, net::kAccountReplyLimit);
    const bool accepted = answer.succeeded();
    if (!accepted) {
        // Straight into the log: through the message handler this line could start a report
        // of its own.
        append_log_line(QStringLiteral("[warning] Crash report %1 not delivered: status=%2 %3")
                            .arg(event_id, QString::number(answer.status),
                                 outside::cut_service_text(answer.error, 200)));
    }
    return accepted;
}

}  // namespace halvark::diagnostics
