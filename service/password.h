#pragma once

#include <QByteArray>
#include <QString>

namespace halvark::service {

// Passwords are stored as "pbkdf2_sha256$<iterations>$<salt>$<hash>" (salt and hash in
// base64): PBKDF2-HMAC-SHA256 from OpenSSL, with a fresh 16-byte salt and OWASP's iteration
// count, so that a stolen accounts file costs an attacker a great deal per guess.
constexpr int kPasswordIterations = 600000;

QString hash_password(const QString& password, int iterations = kPasswordIterations);

// The iteration count of a stored record, or the default for one that is not well formed.
int stored_iterations(const QString& stored);

// Whether `password` matches `stored`, in time that does not depend on where they differ.
// A record that is not of the form above never matches.
bool verify_password(const QString& stored, const QString& password);

}  // namespace halvark::service
