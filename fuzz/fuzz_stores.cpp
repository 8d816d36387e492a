// settings.json and session.json as the stores read them, whatever the file holds.
#include <QDir>
#include <QFile>

#include "fuzz_support.h"
#include "storage/data_folder.h"
#include "storage/session_store.h"
#include "storage/settings_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz_environment();
    using namespace halvark::storage;
    QDir().mkpath(launcher_data_directory());
    for (const char* name : {"/settings.json", "/session.json"}) {
        QFile file(launcher_data_directory() + name);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(fuzz_bytes(data, size));
    }
    const SettingsStore settings;
    if (settings.language().isEmpty() || settings.ram_mb() < 1 ||
        settings.game_directory().isEmpty()) {
        __builtin_trap();
    }
    settings.auto_ram();
    settings.server_list_background_enabled();
    const auto session = SessionStore().load();
    if (session && (session->access_token.isEmpty() || session->expires_at_unix <= 0)) {
        __builtin_trap();
    }
    return 0;
}
