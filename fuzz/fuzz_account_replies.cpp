// Login and current-user answers, and the token claims, as the main window reads them.
#include "fuzz_support.h"
#include "ui/main_window.h"
#include "ui/token_claims.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray body = fuzz_bytes(data, size);
    using namespace halvark::ui;
    using namespace halvark::api;
    for (const bool succeeded : {true, false}) {
        const LoginResult result = interpret_login_reply(succeeded, QString(), 401, body);
        if (result.ok && (result.access_token.isEmpty() || result.totp_required)) {
            __builtin_trap();
        }
        if (!result.ok && !result.totp_required && result.error_message.isEmpty()) {
            __builtin_trap();  // every failure has something to show
        }
    }
    user_from_me_body(body);
    display_name_from_token(QString::fromUtf8(body));
    return 0;
}
