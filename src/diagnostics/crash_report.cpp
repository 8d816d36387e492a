#include "diagnostics/crash_report.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUuid>

#include "diagnostics/crash_reporter.h"
#include "diagnostics/machine_info.h"
#include "diagnostics/session_log.h"
#include "diagnostics/timestamps.h"
#include "net/network_policy.h"
#include "net/reply_wait.h"

namespace halvark::diagnostics {

QJsonArray report_logs(const QStringList& recent_events, const QString& log_text) {
    QJsonArray logs;
    for (const QString& event : recent_events) {
        logs.append(event);
    }
    if (log_text.trimmed().isEmpty()) {
        return logs;
    }
    for (const QStringView piece : QStringView(log_text).split(u'\n', Qt::SkipEmptyParts)) {
        if (logs.size() >= kMaxReportLogEntries) {
            break;
        }
        logs.append(piece.left(kMaxReportLogLineLength).toString());
    }
    return logs;
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
    const QJsonObject payload =
        build_report_payload(event_id, {level, message, exception_type, stacktrace, fatal}, context,
                             collect_log_text(1));

    QNetworkRequest request{QUrl(endpoint)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("accept", "application/json");
    if (!net::set_bearer_token(request, token)) {
        return false;
    }
    request.setRawHeader("X-Launcher-Version", QCoreApplication::applicationVersion().toUtf8());
    request.setRawHeader("X-Request-Id", event_id.toUtf8());
    request.setTransferTimeout(kReportTimeoutMs);
    net::keep_redirects_on_origin(request);

    // A manager of its own: nothing is shared with the account requests.
    QNetworkAccessManager network;
    QNetworkReply* reply =
        network.post(request, QJsonDocument(payload).toJson(QJsonDocument::Compact));
    net::limit_reply_size(reply, net::kAccountReplyLimit);
    net::wait_for_reply(reply, kReportTimeoutMs);
    const bool accepted = net::succeeded(reply);
    reply->deleteLater();
    return accepted;
}

}  // namespace halvark::diagnostics
