// The login exchange's arithmetic against the example exchange of RFC 7677,
// whose keys were also computed apart with Python's hashlib and hmac.

#include "scram.h"

#include <QTest>

class TstScram : public QObject
{
    Q_OBJECT
private slots:
    void theRfcExampleExchangeComesOut()
    {
        const QByteArray salt = QByteArray::fromBase64("W22ZaJ0SNY7soEsUEjb6gQ==");
        const QByteArray clientNonce = "rOprNGfwEbeRWgbNEkqO";
        const QByteArray nonce = clientNonce + "%hvYDpWUa2RaTCAfuxFIlj)hNlF$k0";
        const QByteArray salted = Scram::saltedPassword(QStringLiteral("pencil"), salt, 4096);
        const Scram::Keys keys = Scram::keysFromSalted(salted, salt, 4096);
        QCOMPARE(salted.toHex(), "c4a49510323ab4f952cac1fa99441939e78ea74d6be81ddf7096e87513dc615d");
        QCOMPARE(keys.storedKey.toHex(), "586e5df283e6dceb5c3e791d8b8528ec191e664045ce971792e2e6b5bb13e2a6");
        QCOMPARE(keys.serverKey.toHex(), "c1f3cbc1c13a9d35a14c0990eed97629ea225863e566a4314ab99f3f00e5d9d5");
        const QByteArray message =
            Scram::authMessage(QStringLiteral("user"), clientNonce, nonce, salt, 4096, Scram::channelBinding({}));
        QCOMPARE(message, "n=user,r=" + clientNonce + ",r=" + nonce + ",s=W22ZaJ0SNY7soEsUEjb6gQ==,i=4096,c=biws,r=" + nonce);
        const QByteArray proof = Scram::clientProof(salted, message);
        QCOMPARE(proof.toBase64(), "dHzbZapWIk4jUhN+Ute9ytag9zjfMHgsqmmiz7AndVQ=");
        QCOMPARE(Scram::serverSignature(keys.serverKey, message).toBase64(), "6rriTRBi23WpRR/wtup+mMhUZUn/dB5nLTJRsjl95G4=");
        // The server's check: this proof and no other, for this message and no other.
        QVERIFY(Scram::proofMatches(keys, message, proof));
        QByteArray flipped = proof;
        flipped[5] = char(flipped[5] ^ 1);
        QVERIFY(!Scram::proofMatches(keys, message, flipped));
        QVERIFY(!Scram::proofMatches(keys, message + "x", proof));
        QVERIFY(!Scram::proofMatches(keys, message, proof.left(31)));
    }

    void namesAreEscapedAndTheLinkIsBound()
    {
        QVERIFY(Scram::authMessage(QStringLiteral("a=b,c"), "n", "nn", "s", 1, "n,,").startsWith("n=a=3Db=2Cc,r=n,"));
        QCOMPARE(Scram::channelBinding(QByteArray("\x01\x02", 2)), QByteArray("p=tls-server-end-point,,\x01\x02", 26));
        QVERIFY(Scram::newNonce() != Scram::newNonce());
        QCOMPARE(Scram::newNonce().size(), 24);
    }
};

QTEST_MAIN(TstScram)
#include "tst_scram.moc"
