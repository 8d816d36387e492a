#include "storage/session_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "net/network_policy.h"
#include "outside/outside_data.h"

#include "storage/atomic_file.h"
#include "storage/data_folder.h"
#include "storage/settings_store.h"

namespace halvark::storage {

QString session_file_path() {
    return launcher_data_directory() + "/session.json";
}

std::optional<SavedSession> SessionStore::load() const {
    const auto content = outside::read_regular_file(session_file_path(), kMaxStoredFileBytes);
    if (!content) {
        return std::nullopt;
    }
    const QJsonObject object = QJsonDocument::fromJson(*content).object();
    SavedSession session;
    session.access_token = object.value("access_token").toString();
    session.expires_at_unix = outside::saturated_int64(object.value("expires_at_unix"));
    // A token that could not go into a header as it is counts as no saved session.
    if (!net::is_plausible_bearer_token(session.access_token) || session.expires_at_unix <= 0) {
        return std::nullopt;
    }
    return session;
}

bool SessionStore::save(const SavedSession& session) const {
    if (!QDir().mkpath(launcher_data_directory())) {
        return false;
    }
    const bool valid = !session.access_token.trimmed().isEmpty() && session.expires_at_unix > 0;
    QByteArray content;
    if (valid) {
        const QJsonObject object{
            {"access_token", session.access_token},
            {"expires_at_unix", session.expires_at_unix},
        };
        content = QJsonDocument(object).toJson(QJsonDocument::Indented);
    }
    // An invalid record still replaces the file with an empty one, so no earlier session
    // survives an attempt to store a new one. The token is a credential: owner only.
    const bool written = write_file_atomically(session_file_path(), content,
                                               QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return written && valid;
}

bool SessionStore::clear() const {
    const QFileInfo record(session_file_path());
    if (!record.exists() && !record.isSymLink()) {
        return true;
    }
    if (QFile::remove(record.filePath())) {
        return true;
    }
    // A folder that forbids removal may still let the record itself be emptied, and an empty
    // record is no session. Never through a link or into a FIFO: only our own plain file.
    QFile file(record.filePath());
    return record.isFile() && !record.isSymLink() &&
           file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.flush() &&
           file.size() == 0;
}

}  // namespace halvark::storage
