#include "irc/certificateQuestion.h"
#include "irc/certificateTrust.h"
#include "testCertificate.h"

#include <QSslCertificate>
#include <QTest>

using namespace Qt::StringLiterals;

class tst_certificateQuestion : public QObject
{
    Q_OBJECT

private slots:
    void eachKindOfProblemIsOneLine_data()
    {
        QTest::addColumn<QList<QSslError::SslError>>("errors");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("wrong name") << QList {QSslError::HostNameMismatch}
                                    << QStringList {u"証明書の名前がサーバ名と一致しません"_s};
        QTest::newRow("self-signed, and so no trusted issuer")
            << QList {QSslError::SelfSignedCertificate, QSslError::CertificateUntrusted}
            << QStringList {u"自己署名の証明書です"_s, u"信頼できる発行者が確認できません"_s};
        QTest::newRow("expired and not yet valid")
            << QList {QSslError::CertificateExpired, QSslError::CertificateNotYetValid}
            << QStringList {u"証明書の有効期限が切れています"_s,
                            u"証明書はまだ有効ではありません"_s};
        QTest::newRow("two of one kind") << QList {QSslError::UnableToGetLocalIssuerCertificate,
                                                   QSslError::UnableToVerifyFirstCertificate}
                                         << QStringList {u"信頼できる発行者が確認できません"_s};
    }
    void eachKindOfProblemIsOneLine()
    {
        QFETCH(QList<QSslError::SslError>, errors);
        QFETCH(QStringList, lines);
        QList<QSslError> sslErrors;
        for (QSslError::SslError error : errors)
            sslErrors << QSslError(error);
        QCOMPARE(certificateQuestion::problems(sslErrors), lines);
    }

    // The user said yes to certificate "A" of irc.example:6697; then a handshake comes.
    void trustHoldsForItsHostPortAndDigest_data()
    {
        using Decision = CertificateTrust::Decision;
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QByteArray>("digest");
        QTest::addColumn<QSslError::SslError>("error");
        QTest::addColumn<bool>("reconnecting");
        QTest::addColumn<Decision>("decision");
        QTest::addColumn<QString>("problem");
        const QString selfSigned = u"自己署名の証明書です"_s;
        QTest::newRow("trusted digest")
            << u"irc.example"_s << u"6697"_s << QByteArray("A") << QSslError::SelfSignedCertificate
            << false << Decision::Trusted << selfSigned;
        QTest::newRow("host in another case, with blanks")
            << u" IRC.Example "_s << u"6697"_s << QByteArray("A")
            << QSslError::SelfSignedCertificate << false << Decision::Trusted << selfSigned;
        QTest::newRow("other digest")
            << u"irc.example"_s << u"6697"_s << QByteArray("B") << QSslError::SelfSignedCertificate
            << false << Decision::AskUser << selfSigned;
        QTest::newRow("other port")
            << u"irc.example"_s << u"6698"_s << QByteArray("A") << QSslError::SelfSignedCertificate
            << false << Decision::AskUser << selfSigned;
        QTest::newRow("other name")
            << u"irc.example"_s << u"6697"_s << QByteArray("B") << QSslError::HostNameMismatch
            << false << Decision::AskUser << u"証明書の名前がサーバ名と一致しません"_s;
        QTest::newRow("expired") << u"irc.example"_s << u"6697"_s << QByteArray("B")
                                 << QSslError::CertificateExpired << false << Decision::AskUser
                                 << u"証明書の有効期限が切れています"_s;
        QTest::newRow("no trusted issuer")
            << u"irc.example"_s << u"6697"_s << QByteArray("B") << QSslError::CertificateUntrusted
            << false << Decision::AskUser << u"信頼できる発行者が確認できません"_s;
        QTest::newRow("during a reconnection, trusted")
            << u"irc.example"_s << u"6697"_s << QByteArray("A") << QSslError::SelfSignedCertificate
            << true << Decision::Trusted << selfSigned;
        QTest::newRow("during a reconnection, another: never asks")
            << u"irc.example"_s << u"6697"_s << QByteArray("B") << QSslError::SelfSignedCertificate
            << true << Decision::Refuse << selfSigned;
    }
    void trustHoldsForItsHostPortAndDigest()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QByteArray, digest);
        QFETCH(QSslError::SslError, error);
        QFETCH(bool, reconnecting);
        QFETCH(CertificateTrust::Decision, decision);
        QFETCH(QString, problem);
        CertificateTrust trust;
        trust.answer(u"irc.example"_s, u"6697"_s, "A", true);
        QCOMPARE(trust.decide(host, port, digest, {QSslError(error)}, reconnecting), decision);
        QCOMPARE(trust.problem(), problem);
        QVERIFY(!trust.refusedByUser());
    }

    void questionShowsTheCertificate()
    {
        const QSslCertificate certificate(testCertificate::certificatePem);
        QVERIFY(!certificate.isNull());
        const QString fingerprint = QString::fromLatin1(testCertificate::sha256);
        QCOMPARE(certificateQuestion::fingerprint(certificate), fingerprint);
        const QString text = certificateQuestion::text(u"irc.example"_s, u"6697"_s, certificate,
                                                       {QSslError(QSslError::HostNameMismatch)});
        for (const QString &part : {u"証明書の名前がサーバ名と一致しません"_s,
                                    u"サーバ: irc.example:6697"_s, u"発行先: irc.test.local"_s,
                                    u"発行者: irc.test.local"_s, u"SHA-256: "_s + fingerprint})
            QVERIFY2(text.contains(part), qPrintable(part));
    }
};

QTEST_MAIN(tst_certificateQuestion)
#include "tst_certificateQuestion.moc"
