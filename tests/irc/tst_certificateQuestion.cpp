#include "irc/certificateQuestion.h"
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
