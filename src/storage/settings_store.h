#pragma once

#include <QJsonObject>
#include <QString>

namespace halvark::storage {

// settings.json and session.json are small; a larger one is treated as corrupt.
constexpr qint64 kMaxStoredFileBytes = 1LL << 20;

// settings.json in the launcher data folder. Stateless: every getter reads the file again,
// so a hand edit is seen at once. Missing or unusable values give the defaults.
class SettingsStore {
  public:
    QJsonObject load_settings_object() const;

    QString language() const;
    qint32 ram_mb() const;
    bool auto_ram() const;
    QString game_directory() const;
    bool server_list_background_enabled() const;

    bool save(const QString& language, qint32 ram_mb, bool auto_ram, const QString& game_directory,
              bool server_list_background_enabled) const;
    // Replaces the file atomically: a failed write leaves the previous file as it was.
    bool save_settings_object(const QJsonObject& object) const;
};

}  // namespace halvark::storage
