#include "certificateQuestion.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QSslCertificate>

using namespace Qt::StringLiterals;

namespace certificateQuestion {
namespace {

QString reasonFor(QSslError::SslError error)
{
    switch (error) {
    case QSslError::HostNameMismatch:
        return u"証明書の名前がサーバ名と一致しません"_s;
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
        return u"自己署名の証明書です"_s;
    case QSslError::CertificateExpired:
        return u"証明書の有効期限が切れています"_s;
    case QSslError::CertificateNotYetValid:
        return u"証明書はまだ有効ではありません"_s;
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
    case QSslError::InvalidCaCertificate:
        return u"信頼できる発行者が確認できません"_s;
    default:
        return u"証明書を検証できません"_s;
    }
}

QString names(const QStringList &parts)
{
    return parts.isEmpty() ? u"（なし）"_s : parts.join(u", "_s);
}

QString dateOf(const QDateTime &moment)
{
    return moment.toLocalTime().toString(u"yyyy-MM-dd HH:mm"_s);
}

} // namespace

QStringList problems(const QList<QSslError> &errors)
{
    QStringList lines;
    for (const QSslError &error : errors) {
        const QString reason = reasonFor(error.error());
        if (!lines.contains(reason))
            lines << reason;
    }
    return lines;
}

QString fingerprint(const QSslCertificate &certificate)
{
    const QByteArray hex = certificate.digest(QCryptographicHash::Sha256).toHex().toUpper();
    QStringList pairs;
    for (qsizetype at = 0; at < hex.size(); at += 2)
        pairs << QString::fromLatin1(hex.mid(at, 2));
    return pairs.join(u':');
}

QString text(const QString &host, const QString &port, const QSslCertificate &certificate,
             const QList<QSslError> &errors)
{
    return u"サーバの証明書を検証できませんでした。\n\n"_s + problems(errors).join(u'\n')
        + u"\n\nサーバ: "_s + host + u":"_s + port + u"\n発行先: "_s
        + names(certificate.subjectInfo(QSslCertificate::CommonName)) + u"\n発行者: "_s
        + names(certificate.issuerInfo(QSslCertificate::CommonName)) + u"\n有効期間: "_s
        + dateOf(certificate.effectiveDate()) + u" ～ "_s + dateOf(certificate.expiryDate())
        + u"\nSHA-256: "_s + fingerprint(certificate)
        + u"\n\nこのサーバのこの証明書を、プログラムを終了するまで信頼しますか？"_s;
}

} // namespace certificateQuestion
