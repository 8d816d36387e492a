#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace halvark::service {

// RFC 4648 base32 (upper or lower case, padding and spaces ignored); empty on bad input.
QByteArray base32_decode(const QString& text);

// RFC 6238 time-based code: HMAC-SHA1, 30-second steps, `digits` decimal digits.
QString totp_code(const QByteArray& secret, qint64 unix_time, int digits = 6);

// The time step (Unix time / 30) whose code `code` is, looking at the current step and one
// step either side (clock drift); nothing when it is none of them.
std::optional<qint64> totp_matching_step(const QByteArray& secret, const QString& code,
                                         qint64 unix_time);

}  // namespace halvark::service
