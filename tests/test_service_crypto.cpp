#include <QtTest>

#include "token.h"
#include "totp.h"

using namespace halvark::service;

class ServiceCryptoTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    // RFC 6238 appendix B, SHA-1 rows.
    void totp_reference_vectors_data() {
        QTest::addColumn<qint64>("time");
        QTest::addColumn<QString>("code");
        QTest::newRow("59") << qint64(59) << "94287082";
        QTest::newRow("1111111109") << qint64(1111111109) << "07081804";
        QTest::newRow("1234567890") << qint64(1234567890) << "89005924";
        QTest::newRow("20000000000") << qint64(20000000000) << "65353130";
    }
    void totp_reference_vectors() {
        QFETCH(qint64, time);
        QTEST(totp_code("12345678901234567890", time, 8), "code");
    }

    void totp_accepts_one_step_of_drift() {
        const QByteArray secret = base32_decode("JBSWY3DPEHPK3PXP");
        QCOMPARE(secret, QByteArray("Hello!\xDE\xAD\xBE\xEF"));
        const qint64 now = 1700000000;
        QVERIFY(totp_matches(secret, totp_code(secret, now - 30), now));
        QVERIFY(!totp_matches(secret, totp_code(secret, now - 90), now));
        QVERIFY(!totp_matches(secret, "12345", now));
        QVERIFY(base32_decode("not base32!").isEmpty());
    }

    void tokens_are_checked() {
        const QByteArray key(32, 'k');
        const QString token = sign_token({{"nickname", "Rook"}, {"exp", 2000}}, key);
        QCOMPARE(verify_token(token, key, 1999)->value("nickname").toString(), QString("Rook"));
        QVERIFY(!verify_token(token, key, 2000).has_value());               // expired
        QVERIFY(!verify_token(token, QByteArray(32, 'x'), 1).has_value());  // other key
        QString tampered = token;
        tampered[tampered.indexOf('.') + 3] =
            tampered[tampered.indexOf('.') + 3] == 'A' ? 'B' : 'A';
        QVERIFY(!verify_token(tampered, key, 1).has_value());
        QVERIFY(!verify_token("a.b", key, 1).has_value());
    }
};

QTEST_GUILESS_MAIN(ServiceCryptoTest)
#include "test_service_crypto.moc"
