#pragma once

#include <QString>

namespace halvark::app {

// Account API addresses; each can be replaced by its environment variable.
struct Endpoints {
    QString login_url;
    QString me_url;
    QString crash_report_url;
    QString hwid_url;
};

struct AppInfo {
    QString name;
    QString version;
    QString author;
    Endpoints endpoints;
};

// Scheme+host[:port] of the API host (account, news, avatars) and of the website
// (server profiles, news pages): compiled-in defaults, replaceable through
// HALVARK_LAUNCHER_API_URL and HALVARK_LAUNCHER_SITE_URL.
QString api_base_url();
QString site_base_url();

// The service's public addresses on those hosts.
QString news_list_url();  // the newest four news
QString news_page_url(qint64 id);
QString server_profiles_url();
QString avatar_url(const QString& uuid);

Endpoints load_endpoints();
// Needs the application object: settings.ini is read from the executable's folder.
AppInfo load_app_info();

}  // namespace halvark::app
