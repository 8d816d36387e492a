// News and server-profile bodies, parsed and rendered by a real launch screen.
#include <QJsonDocument>
#include <QNetworkReply>
#include <cstdlib>

#include "fuzz_support.h"
#include "ui/screens/launch_screen.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_environment();
    qputenv("HALVARK_LAUNCHER_API_URL", "http://127.0.0.1:9");
    qputenv("HALVARK_LAUNCHER_SITE_URL", "http://127.0.0.1:9");
    static halvark::ui::screens::LaunchScreen* screen = [] {
        // libFuzzer ends a finished run with exit() while the screen's network threads still
        // live: leave before the globals they use are destroyed (crashes end through _Exit).
        std::atexit([] { std::_Exit(0); });
        return new halvark::ui::screens::LaunchScreen();
    }();
    using halvark::ui::screens::LaunchScreen;
    const QByteArray body = fuzz_bytes(data, size);
    screen->render_news(LaunchScreen::news_items_from(body));
    QString parse_error;
    if (const auto list = LaunchScreen::server_profile_list_from(body, &parse_error)) {
        screen->render_server_profiles(*list);
        screen->set_user(QJsonDocument::fromJson(body).object());
    }
    // No event loop runs here to finish them: drop this input's requests, or they pile up.
    qDeleteAll(screen->findChildren<QNetworkReply*>());
    return 0;
}
