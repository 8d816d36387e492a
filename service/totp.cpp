#include "totp.h"

#include <QMessageAuthenticationCode>
#include <QtEndian>

namespace halvark::service {

namespace {

constexpr qint64 kStepSeconds = 30;

}  // namespace

QByteArray base32_decode(const QString& text) {
    static const QByteArray alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    QByteArray out;
    quint32 buffer = 0;
    int bits = 0;
    for (const QChar c : text.toUpper()) {
        if (c == '=' || c.isSpace()) {
            continue;
        }
        const qsizetype value = alphabet.indexOf(c.toLatin1());
        if (value < 0) {
            return {};
        }
        buffer = (buffer << 5) | static_cast<quint32>(value);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            out.append(static_cast<char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

QString totp_code(const QByteArray& secret, qint64 unix_time, int digits) {
    QByteArray counter(8, '\0');
    qToBigEndian<quint64>(static_cast<quint64>(unix_time / kStepSeconds), counter.data());
    const QByteArray mac =
        QMessageAuthenticationCode::hash(counter, secret, QCryptographicHash::Sha1);
    const int offset = mac.at(mac.size() - 1) & 0x0F;
    const quint32 binary = qFromBigEndian<quint32>(mac.constData() + offset) & 0x7FFFFFFF;
    quint32 modulus = 1;
    for (int i = 0; i < digits; ++i) {
        modulus *= 10;
    }
    return QString::number(binary % modulus).rightJustified(digits, '0');
}

std::optional<qint64> totp_matching_step(const QByteArray& secret, const QString& code,
                                         qint64 unix_time) {
    if (secret.isEmpty() || code.size() != 6) {
        return std::nullopt;
    }
    for (qint64 drift : {0LL, -kStepSeconds, kStepSeconds}) {
        if (totp_code(secret, unix_time + drift) == code) {
            return (unix_time + drift) / kStepSeconds;
        }
    }
    return std::nullopt;
}

}  // namespace halvark::service
