#include "app/app_info.h"

#include <QCoreApplication>
#include <QProcessEnvironment>
#include <QSettings>

namespace halvark::app {

namespace {

// Unset means default; a variable set to the empty string is taken as it is.
QString from_environment(const char* name, const QString& fallback) {
    return QProcessEnvironment::systemEnvironment().value(QString::fromLatin1(name), fallback);
}

}  // namespace

QString api_base_url() {
    return from_environment("HALVARK_LAUNCHER_API_URL", QStringLiteral(HALVARK_API_BASE_URL));
}

QString site_base_url() {
    return from_environment("HALVARK_LAUNCHER_SITE_URL", QStringLiteral(HALVARK_SITE_BASE_URL));
}

Endpoints load_endpoints() {
    const QString api = api_base_url();
    Endpoints endpoints;
    endpoints.login_url =
        from_environment("HALVARK_LAUNCHER_LOGIN_URL", api + "/api/v1/launcher/auth/login");
    endpoints.me_url =
        from_environment("HALVARK_LAUNCHER_ME_URL", api + "/api/v1/launcher/auth/me");
    endpoints.crash_report_url =
        from_environment("HALVARK_LAUNCHER_REPORT_URL", api + "/api/v1/launcher/crash-report");
    endpoints.hwid_url =
        from_environment("HALVARK_LAUNCHER_HWID_URL", api + "/api/v1/launcher/hwid");
    return endpoints;
}

AppInfo load_app_info() {
    AppInfo info;
    info.endpoints = load_endpoints();
    info.name = QStringLiteral("Halvark Launcher");
    info.version = QStringLiteral("0.1.0");
    info.author = QStringLiteral("Halvark");

    const QSettings ini(QCoreApplication::applicationDirPath() + "/settings.ini",
                        QSettings::IniFormat);
    info.name = ini.value("Launcher/name", info.name).toString().trimmed();
    info.version = ini.value("Launcher/version", info.version).toString().trimmed();
    info.author = ini.value("Launcher/author", info.author).toString().trimmed();
    return info;
}

}  // namespace halvark::app
