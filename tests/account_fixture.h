#pragma once

#include <memory>

#include "app/app_info.h"
#include "fake_service.h"
#include "test_support.h"
#include "ui/main_window.h"

namespace halvark::testing {

inline const QString kLoginPath = QStringLiteral("/api/v1/launcher/auth/login");
inline const QString kMePath = QStringLiteral("/api/v1/launcher/auth/me");
inline const QString kHwidPath = QStringLiteral("/api/v1/launcher/hwid");
inline const QString kReportPath = QStringLiteral("/api/v1/launcher/crash-report");

// A clean environment whose every launcher address points at one fake service.
struct AccountFixture {
    ScopedEnvironment environment;
    FakeService service;

    AccountFixture() {
        qputenv("HALVARK_LAUNCHER_API_URL", service.base_url().toUtf8());
        qputenv("HALVARK_LAUNCHER_SITE_URL", service.base_url().toUtf8());
        // The launch screen asks for these as soon as it exists.
        service.reply("GET", "/api/v1/news", {200, "[]"});
        service.reply("GET", "/api/launcher/server-profiles", {200, "[]"});
    }

    // Requests after the start wait as long as a loaded machine may need; rows that test a
    // time-out set their own.
    std::unique_ptr<ui::MainWindow> make_window() {
        auto window = std::make_unique<ui::MainWindow>(app::load_app_info());
        window->set_account_timeouts({120000, 120000, 120000});
        return window;
    }
};

// A JSON Web Token shape with the given payload; the signature is not checked by the launcher.
inline QString token_with_payload(const QByteArray& payload_json) {
    return "eyJhbGciOiJIUzI1NiJ9." +
           QString::fromLatin1(payload_json.toBase64(QByteArray::Base64UrlEncoding |
                                                     QByteArray::OmitTrailingEquals)) +
           ".c2ln";
}

}  // namespace halvark::testing
