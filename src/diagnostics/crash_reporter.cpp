#include "diagnostics/crash_reporter.h"

#include <QCoreApplication>
#include <QThread>
#include <cstdlib>
#include <exception>
#include <mutex>

#include "diagnostics/crash_report.h"
#include "diagnostics/session_log.h"
#include "diagnostics/timestamps.h"
#include "outside/outside_data.h"

namespace halvark::diagnostics {

namespace {

QtMessageHandler previous_handler = nullptr;
std::once_flag handler_once;

bool on_gui_thread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app != nullptr && QThread::currentThread() == app->thread();
}

[[noreturn]] void terminate_handler() {
    QString message = QStringLiteral("Unknown unhandled exception");
    if (const std::exception_ptr current = std::current_exception()) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& e) {
            message = QString::fromUtf8(e.what());
        } catch (...) {
        }
    }
    CrashReporter::instance().capture_exception(QStringLiteral("std::terminate"), message, true);
    std::abort();
}

}  // namespace

QString level_word(QtMsgType type) {
    switch (type) {
        case QtDebugMsg:
        case QtInfoMsg:
            return QStringLiteral("info");
        case QtWarningMsg:
            return QStringLiteral("warning");
        case QtFatalMsg:
            return QStringLiteral("fatal");
        case QtCriticalMsg:
        default:
            return QStringLiteral("error");
    }
}

CrashReporter& CrashReporter::instance() {
    static CrashReporter reporter;
    return reporter;
}

void CrashReporter::init(const CrashReporterConfig& config) {
    {
        QMutexLocker lock(&mutex_);
        endpoint_url_ = config.endpoint_url;
        environment_ = config.environment;
        release_ = config.release;
        enabled_ = true;
    }
    std::call_once(handler_once, [] {
        previous_handler = qInstallMessageHandler(&CrashReporter::message_handler);
    });
}

void CrashReporter::message_handler(QtMsgType type, const QMessageLogContext& context,
                                    const QString& text) {
    CrashReporter& reporter = instance();
    const QString line = '[' + level_word(type) + "] " + text;
    reporter.add_breadcrumb(line);
    if (!is_session_header_line(text)) {
        append_log_line(line);
    }
    if (type == QtCriticalMsg) {
        reporter.capture_message(QStringLiteral("error"), text);
    } else if (type == QtFatalMsg) {
        // Nothing comes after a fatal message: its report goes out here and now.
        reporter.add_breadcrumb("capture_message: " + text);
        if (reporter.begin_sending()) {
            reporter.send_event(QStringLiteral("fatal"), text, QString(), QString(), false);
            reporter.end_sending();
        }
    }
    if (previous_handler != nullptr) {
        previous_handler(type, context, text);
    }
    if (type == QtFatalMsg) {
        std::abort();
    }
}

void CrashReporter::add_breadcrumb(const QString& text) {
    QMutexLocker lock(&mutex_);
    if (recent_events_.size() >= kMaxRecentEvents) {
        recent_events_.pop_front();
    }
    // Cut as it is recorded: a megabyte reason phrase must weigh neither here nor in a report.
    recent_events_.push_back(
        outside::cut_service_text(utc_timestamp() + ' ' + text, kMaxReportEventChars));
}

bool CrashReporter::begin_sending() {
    if (!on_gui_thread()) {
        return false;
    }
    QMutexLocker lock(&mutex_);
    if (!enabled_ || sending_ || endpoint_url_.trimmed().isEmpty()) {
        return false;
    }
    sending_ = true;
    return true;
}

void CrashReporter::end_sending() {
    QMutexLocker lock(&mutex_);
    sending_ = false;
}

void CrashReporter::capture_message(const QString& level, const QString& text) {
    add_breadcrumb("capture_message: " + text);
    if (!on_gui_thread()) {
        return;  // reports leave only from the GUI thread
    }
    QMutexLocker lock(&mutex_);
    if (!enabled_ || sending_ || endpoint_url_.trimmed().isEmpty()) {
        return;  // recorded, not sent, while another report is on its way
    }
    queued_reports_.emplace_back(level, text);
    if (!queue_scheduled_) {
        queue_scheduled_ = true;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [this] { send_queued_reports(); }, Qt::QueuedConnection);
    }
}

void CrashReporter::send_queued_reports() {
    for (;;) {
        std::pair<QString, QString> report;
        {
            QMutexLocker lock(&mutex_);
            if (queued_reports_.empty()) {
                queue_scheduled_ = false;
                return;
            }
            report = queued_reports_.front();
            queued_reports_.pop_front();
        }
        if (begin_sending()) {
            send_event(report.first, report.second, QString(), QString(), false);
            end_sending();
        }
    }
}

void CrashReporter::capture_exception(const QString& exception_type, const QString& message,
                                      bool fatal) {
    add_breadcrumb("capture_exception: " + exception_type + ": " + message);
    const QString level = fatal ? QStringLiteral("fatal") : QStringLiteral("error");
    if (begin_sending()) {
        send_event(level, message, exception_type, message, fatal);
        end_sending();
    }
}

bool CrashReporter::forced_report(const QString& message) {
    add_breadcrumb("forced_report: " + message);
    if (!begin_sending()) {
        return false;
    }
    const bool accepted = send_event(QStringLiteral("warning"), message,
                                     QStringLiteral("forced_report"), message, false);
    end_sending();
    return accepted;
}

void CrashReporter::set_user(const QString& access_token, const QJsonObject& user) {
    QMutexLocker lock(&mutex_);
    access_token_ = access_token.trimmed();
    user_ = user;
}

void CrashReporter::clear_user() {
    QMutexLocker lock(&mutex_);
    access_token_.clear();
    user_ = QJsonObject();
}

QStringList CrashReporter::recent_events() const {
    QMutexLocker lock(&mutex_);
    return QStringList(recent_events_.cbegin(), recent_events_.cend());
}

bool CrashReporter::is_sending() const {
    QMutexLocker lock(&mutex_);
    return sending_;
}

void install_terminate_handler() {
    std::set_terminate(&terminate_handler);
}

}  // namespace halvark::diagnostics
