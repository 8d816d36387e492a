#include "diagnostics/crash_report.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QMutexLocker>
#include <QUuid>

#include "diagnostics/crash_reporter.h"
#include "diagnostics/machine_info.h"
#include "diagnostics/native_crash_records.h"
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
    cut.exception_type = outside::cut_service_text(event.exception_type, kMaxReportTextChars);
    ReportContext bounded = context;
    bounded.user = bounded_user(context.user);
    qsizetype text_chars = kMaxReportTextChars;
    qsizetype log_chars = kMaxReportLogChars;
    qsizetype events = context.recent_events.size();
    QByteArray body;
    // Measured as it is sent: JSON writes a control character six bytes wide and UTF-8 takes
    // up to three bytes for one character. Over the bound, the log goes first, then the oldest
    // events, then the message and stack trace.
    for (;;) {
        cut.message = outside::cut_service_text(event.message, text_chars);
        cut.stacktrace = outside::cut_service_text(event.stacktrace, text_chars);
        bounded.recent_events = context.recent_events.mid(context.recent_events.size() - events);
        if (events < context.recent_events.size()) {
            bounded.recent_events.prepend(QStringLiteral("[%1 older events left out]")
                                              .arg(context.recent_events.size() - events));
        }
        body = QJsonDocument(build_report_payload(event_id, cut, bounded, log_text, log_chars))
                   .toJson(QJsonDocument::Compact);
        if (body.size() <= kMaxReportBodyBytes) {
            return body;
        }
        if (log_chars > 0) {
            log_chars /= 2;
        } else if (events > 0) {
            events /= 2;
        } else if (text_chars > 0) {
            text_chars /= 2;
        } else {
            return body;  // what is left is ours and the bounded user: far under the bound
        }
    }
}

QJsonObject build_report_payload(const QString& event_id, const ReportEvent& event,
                                 const ReportContext& context, const QString& log_text,
                                 qsizetype max_log_chars) {
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
        {"logs", report_logs(context.recent_events, log_text, max_log_chars)},
        {"user", context.user},
    };
}

namespace {

// The report for a native crash of an earlier run: its stack and its own run's log.
struct NativeCrashReport {
    ReportEvent event;
    QString log_text;
};

NativeCrashReport native_crash_report(const NativeCrash& crash) {
    NativeCrashReport report;
    report.event = {QStringLiteral("fatal"),
                    QStringLiteral("%1 at %2 (code %3) in %4")
                        .arg(crash.signal, crash.address, QString::number(crash.code),
                             "halvark-launcher " + crash.version),
                    crash.signal, crash.frames.join('\n'), true};
    if (!crash.log_name.isEmpty()) {
        report.log_text = log_text(crash.log_name);
    }
    return report;
}

}  // namespace

int CrashReporter::send_native_crashes(const std::vector<NativeCrash>& crashes) {
    int sent = 0;
    for (const NativeCrash& crash : crashes) {
        const NativeCrashReport report = native_crash_report(crash);
        const QString event_id = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const auto answer =
            post_report(event_id, report.event, report.log_text, crash.minidump_path);
        if (!answer) {
            break;  // signed out meanwhile: the rest wait for the next sign-in
        }
        if (answer->status == 0) {
            // The service was not reached: the record waits for a later start.
            append_log_line(QStringLiteral("[warning] Native crash record %1 kept: %2")
                                .arg(QFileInfo(crash.path).fileName(),
                                     outside::cut_service_text(answer->error, 200)));
            continue;
        }
        // Accepted or refused: either way it is never sent again.
        QFile::remove(crash.path);
        if (!crash.minidump_path.isEmpty()) {
            QFile::remove(crash.minidump_path);
        }
        sent += answer->succeeded() ? 1 : 0;
    }
    return sent;
}

bool CrashReporter::send_event(const QString& level, const QString& message,
                               const QString& exception_type, const QString& stacktrace,
                               bool fatal) {
    const auto answer = post_report(QUuid::createUuid().toString(QUuid::WithoutBraces),
                                    {level, message, exception_type, stacktrace, fatal},
                                    collect_log_text(1), QByteArray());
    return answer && answer->succeeded();
}

std::optional<net::HttpAnswer> CrashReporter::post_report(const QString& event_id,
                                                          const ReportEvent& event,
                                                          const QString& log_text,
                                                          const QString& minidump_path) {
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
    const auto authorization = net::bearer_authorization(token);
    if (endpoint.trimmed().isEmpty() || token.isEmpty() || !authorization ||
        QCoreApplication::instance() == nullptr) {
        return std::nullopt;
    }
    QByteArray body = bounded_report_body(event_id, event, context, log_text);
    const qint64 minidump_bytes = minidump_path.isEmpty() ? 0 : QFileInfo(minidump_path).size();
    if (minidump_bytes > 0) {
        // Base64 makes four bytes of three: a larger file cannot fit, and is not read.
        const QByteArray minidump_base64 =
            minidump_bytes <= kMaxReportBodyBytes / 4 * 3
                ? outside::read_regular_file(minidump_path, kMaxReportBodyBytes)
                      .value_or(QByteArray())
                      .toBase64()
                : QByteArray();
        QJsonObject payload = QJsonDocument::fromJson(body).object();
        if (!minidump_base64.isEmpty() &&
            body.size() + minidump_base64.size() + 32 <= kMaxReportBodyBytes) {
            payload.insert("minidump_base64", QString::fromLatin1(minidump_base64));
        } else {
            payload.insert("minidump_left_out",
                           QStringLiteral("a minidump of %1 bytes, over the report's bound")
                               .arg(minidump_bytes));
        }
        body = QJsonDocument(payload).toJson(QJsonDocument::Compact);
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
    net::HttpAnswer answer = net::exchange(request, kReportTimeoutMs, net::kAccountReplyLimit);
    if (!answer.succeeded()) {
        // Straight into the log: through the message handler this line could start a report
        // of its own.
        append_log_line(QStringLiteral("[warning] Crash report %1 not delivered: status=%2 %3")
                            .arg(event_id, QString::number(answer.status),
                                 outside::cut_service_text(answer.error, 200)));
    }
    return answer;
}

}  // namespace halvark::diagnostics
