#include "app/app_info.h"

#include <QCoreApplication>
#include <QSettings>

namespace halvark::app {

namespace {

// Unset means default; a variable set to the empty string is taken as it is.
QString from_environment(const char* name, const QString& fallback) {
    return qEnvironmentVariableIsSet(name) ? qEnvironmentVariable(name) : fallback;
}

// QSettings splits an unquoted value at its commas ("Halvark, Inc." becomes a list): join
// the parts again so the text reads as written.
QString ini_text(const QSettings& ini, const QString& key, const QString& fallback) {
    const QVariant value = ini.value(key, fallback);
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(", ")
                                                    : value.toString();
}

}  // namespace

QString api_base_url() {
    return from_environment("HALVARK_LAUNCHER_API_URL", QStringLiteral(HALVARK_API_BASE_URL));
}

QString site_base_url() {
    return from_environment("HALVARK_LAUNCHER_SITE_URL", QStringLiteral(HALVARK_SITE_BASE_URL));
}

QString news_list_url() {
    return api_base_url() + "/api/v1/news?limit=4";
}

QString news_page_url(qint64 id) {
    return site_base_url() + "/news/" + QString::number(id);
}

QString server_profiles_url() {
    return site_base_url() + "/api/launcher/server-profiles";
}

QString avatar_url(const QString& uuid) {
    return api_base_url() + "/api/v1/player-media/avatars/" + uuid;
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
    info.name = ini_text(ini, "Launcher/name", info.name).trimmed();
    info.version = ini_text(ini, "Launcher/version", info.version).trimmed();
    info.author = ini_text(ini, "Launcher/author", info.author).trimmed();
    return info;
}

}  // namespace halvark::app
