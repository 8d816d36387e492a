#include "password.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <QStringList>

namespace halvark::service {

namespace {

constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;
// A record from the accounts file may not ask for more work than this per attempt.
constexpr int kMaxIterations = 10000000;

QByteArray derive(const QString& password, const QByteArray& salt, int iterations) {
    const QByteArray secret = password.toUtf8();
    QByteArray hash(kHashBytes, '\0');
    const int ok = PKCS5_PBKDF2_HMAC(secret.constData(), static_cast<int>(secret.size()),
                                     reinterpret_cast<const unsigned char*>(salt.constData()),
                                     static_cast<int>(salt.size()), iterations, EVP_sha256(),
                                     kHashBytes, reinterpret_cast<unsigned char*>(hash.data()));
    return ok == 1 ? hash : QByteArray();
}

}  // namespace

QString hash_password(const QString& password, int iterations) {
    QByteArray salt(kSaltBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), kSaltBytes) != 1) {
        return {};
    }
    const QByteArray hash = derive(password, salt, iterations);
    if (hash.isEmpty()) {
        return {};
    }
    return QString("pbkdf2_sha256$%1$%2$%3")
        .arg(iterations)
        .arg(QString::fromLatin1(salt.toBase64()), QString::fromLatin1(hash.toBase64()));
}

int stored_iterations(const QString& stored) {
    bool numeric = false;
    const int iterations = stored.section('$', 1, 1).toInt(&numeric);
    return numeric && iterations >= 1 && iterations <= kMaxIterations ? iterations
                                                                      : kPasswordIterations;
}

bool verify_password(const QString& stored, const QString& password) {
    const QStringList parts = stored.split('$');
    bool numeric = false;
    const int iterations = parts.value(1).toInt(&numeric);
    const QByteArray salt = QByteArray::fromBase64(parts.value(2).toLatin1());
    const QByteArray expected = QByteArray::fromBase64(parts.value(3).toLatin1());
    const bool well_formed = parts.size() == 4 && parts[0] == "pbkdf2_sha256" && numeric &&
                             iterations >= 1 && iterations <= kMaxIterations && !salt.isEmpty() &&
                             expected.size() == kHashBytes;
    // A malformed record still costs a full derivation: its answer takes as long as any.
    const QByteArray given = derive(password, well_formed ? salt : QByteArray(kSaltBytes, 's'),
                                    well_formed ? iterations : kPasswordIterations);
    return well_formed && given.size() == kHashBytes &&
           CRYPTO_memcmp(given.constData(), expected.constData(), kHashBytes) == 0;
}

}  // namespace halvark::service
