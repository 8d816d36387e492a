#pragma once

#include <QJsonObject>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "net/http_exchange.h"

namespace halvark::diagnostics {

struct NativeCrash;
struct ReportEvent;

struct CrashReporterConfig {
    QString endpoint_url;
    QString environment;
    QString release;
};

// Process-wide: the application's message handler, the recent events and the signed-in
// account on whose behalf serious events are posted to the report endpoint.
class CrashReporter {
  public:
    static constexpr int kMaxRecentEvents = 200;

    static CrashReporter& instance();

    void init(const CrashReporterConfig& config);
    static void message_handler(QtMsgType type, const QMessageLogContext& context,
                                const QString& text);

    void capture_exception(const QString& exception_type, const QString& message, bool fatal);
    bool forced_report(const QString& message);
    void set_user(const QString& access_token, const QJsonObject& user);
    void clear_user();
    void add_breadcrumb(const QString& text);

    // Posts one report and waits for the answer; true for a 2xx answer.
    bool send_event(const QString& level, const QString& message, const QString& exception_type,
                    const QString& stacktrace, bool fatal);

    // Reports earlier runs' native crashes for the signed-in account, each with its own
    // run's log, and removes each record the service answered (accepted or refused); one it
    // could not reach stays for a later start. How many were accepted.
    int send_native_crashes(const std::vector<NativeCrash>& crashes);

    QStringList recent_events() const;
    bool is_sending() const;

  private:
    CrashReporter() = default;

    void capture_message(const QString& level, const QString& text);
    // Nothing when no account is signed in (no request then); else the service's answer.
    // A minidump goes along when it fits the report's bound; else a word that it was left out.
    std::optional<net::HttpAnswer> post_report(const QString& event_id, const ReportEvent& event,
                                               const QString& log_text,
                                               const QString& minidump_path = QString());
    // Sends the queued reports of critical messages, one after another, from the event loop:
    // a report sent inside the message handler would keep every message logged during its
    // wait out of the handler (Qt does not re-enter it on the same thread).
    void send_queued_reports();
    // Sets `sending` when a report may go out now; reports leave only from the GUI thread.
    bool begin_sending();
    void end_sending();

    // Guards every field below; never held while a report is on its way.
    mutable QMutex mutex_;
    QString endpoint_url_;
    QString environment_;
    QString release_;
    bool enabled_ = false;
    bool sending_ = false;
    QString access_token_;
    QJsonObject user_;
    std::deque<QString> recent_events_;
    std::deque<std::pair<QString, QString>> queued_reports_;  // level and message
    bool queue_scheduled_ = false;
};

void install_terminate_handler();

// "info", "warning", "error" or "fatal", as written in log lines and reports.
QString level_word(QtMsgType type);

}  // namespace halvark::diagnostics
