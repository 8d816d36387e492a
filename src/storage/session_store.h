#pragma once

#include <QString>
#include <optional>

namespace halvark::storage {

struct SavedSession {
    QString access_token;
    qint64 expires_at_unix = 0;
};

QString session_file_path();

// session.json in the launcher data folder: the remembered bearer token and its expiry.
// Written atomically and readable by the owner only.
class SessionStore {
  public:
    // Present when the file holds a non-empty token and a positive expiry; the clock is
    // the caller's business.
    std::optional<SavedSession> load() const;
    bool save(const SavedSession& session) const;
    // True when no saved session is left: the file removed, or else emptied in place.
    bool clear() const;
};

}  // namespace halvark::storage
