#include "storage/settings_store.h"

#include <QDir>
#include <QJsonDocument>
#include <cmath>
#include <limits>

#include "outside/outside_data.h"
#include "storage/atomic_file.h"
#include "storage/data_folder.h"

namespace halvark::storage {

namespace {

constexpr qint32 kDefaultRamMb = 4096;

QString settings_path() {
    return launcher_data_directory() + "/settings.json";
}

QString normalised_directory(const QString& path) {
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

// A whole number within the 32-bit signed range, else the fallback.
qint32 read_int(const QJsonValue& value, qint32 fallback) {
    if (!value.isDouble()) {
        return fallback;
    }
    const double number = value.toDouble();
    if (std::trunc(number) != number || number < std::numeric_limits<qint32>::min() ||
        number > std::numeric_limits<qint32>::max()) {
        return fallback;
    }
    return static_cast<qint32>(number);
}

}  // namespace

QJsonObject SettingsStore::load_settings_object() const {
    const auto content = outside::read_regular_file(settings_path(), kMaxStoredFileBytes);
    return content ? QJsonDocument::fromJson(*content).object() : QJsonObject();
}

QString SettingsStore::language() const {
    const QString value = load_settings_object().value("language").toString();
    return value.isEmpty() ? QStringLiteral("ru") : value;
}

qint32 SettingsStore::ram_mb() const {
    const qint32 value = read_int(load_settings_object().value("ram_mb"), kDefaultRamMb);
    return value < 1 ? kDefaultRamMb : value;
}

bool SettingsStore::auto_ram() const {
    return load_settings_object().value("auto_ram").toBool(true);
}

QString SettingsStore::game_directory() const {
    const QString value = load_settings_object().value("game_directory").toString().trimmed();
    return value.isEmpty() ? default_game_directory() : normalised_directory(value);
}

bool SettingsStore::server_list_background_enabled() const {
    return load_settings_object().value("server_list_background_enabled").toBool(true);
}

bool SettingsStore::save(const QString& language, qint32 ram_mb, bool auto_ram,
                         const QString& game_directory, bool server_list_background_enabled) const {
    QJsonObject object = load_settings_object();
    object.insert("language", language.isEmpty() ? QStringLiteral("ru") : language);
    object.insert("ram_mb", ram_mb < 1 ? kDefaultRamMb : ram_mb);
    object.insert("auto_ram", auto_ram);
    object.insert("server_list_background_enabled", server_list_background_enabled);
    const QString directory = game_directory.trimmed();
    object.insert("game_directory",
                  directory.isEmpty() ? default_game_directory() : normalised_directory(directory));
    return save_settings_object(object);
}

bool SettingsStore::save_settings_object(const QJsonObject& object) const {
    if (!QDir().mkpath(launcher_data_directory())) {
        return false;
    }
    return write_file_atomically(settings_path(),
                                 QJsonDocument(object).toJson(QJsonDocument::Indented));
}

}  // namespace halvark::storage
