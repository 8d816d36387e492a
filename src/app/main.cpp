#include <QApplication>
#include <QDebug>
#include <QTimer>
#include <exception>

#include "app/app_info.h"
#include "app/running_mark.h"
#include "diagnostics/crash_reporter.h"
#include "diagnostics/native_crash_handler.h"
#include "diagnostics/native_crash_records.h"
#include "diagnostics/session_log.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    using namespace halvark;
    using diagnostics::CrashReporter;

    QApplication application(argc, argv);
    [[maybe_unused]] const app::RunningMark running;
#ifdef Q_OS_WIN
    // The style the Windows build is tested with; Windows 11 would pick another under our sheet.
    QApplication::setStyle(QStringLiteral("windowsvista"));
#endif
    const app::AppInfo app_info = app::load_app_info();
    const QString version = app_info.version.isEmpty() ? QStringLiteral("0.1.0") : app_info.version;
    QCoreApplication::setApplicationVersion(version);

    diagnostics::start_session_log();
    const diagnostics::CrashReporterConfig config{app_info.endpoints.crash_report_url,
                                                  QStringLiteral("production"),
                                                  "halvark-launcher@" + version};
    CrashReporter::instance().init(config);
    diagnostics::install_terminate_handler();
    diagnostics::start_native_crash_recording(version);

    const QStringList header_lines = diagnostics::session_header_lines();
    for (const QString& line : header_lines) {
        qInfo().noquote() << line;
    }
    const QString author = app_info.author.isEmpty() ? QStringLiteral("unknown") : app_info.author;
    qInfo().noquote() << QStringLiteral("Starting Halvark Launcher v%1 (%2)").arg(version, author);

    try {
        ui::MainWindow window(app_info);
        window.show();
        // Plug-ins and libraries load as they are first needed: a crash in one is named too.
        QTimer modules;
        modules.callOnTimeout(&diagnostics::note_loaded_modules);
        modules.start(std::chrono::seconds(20));
        QTimer::singleShot(0, &diagnostics::note_loaded_modules);
        const int status = QApplication::exec();
        diagnostics::stop_native_crash_recording();
        return status;
    } catch (const std::exception& error) {
        CrashReporter::instance().capture_exception(QStringLiteral("std::exception"),
                                                    QString::fromUtf8(error.what()), true);
        throw;
    } catch (...) {
        CrashReporter::instance().capture_exception(QStringLiteral("unknown"),
                                                    QStringLiteral("Unknown exception"), true);
        throw;
    }
}
