#include "clientCertificate.h"

#include <QFile>

using namespace Qt::StringLiterals;

ClientCertificate ClientCertificate::read(const QString &path)
{
    ClientCertificate read;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        read.problem = u"証明書ファイルを開けません: "_s + path;
        return read;
    }
    const QByteArray pem = file.readAll();
    const QList<QSslCertificate> certificates = QSslCertificate::fromData(pem, QSsl::Pem);
    for (const QSsl::KeyAlgorithm algorithm : {QSsl::Rsa, QSsl::Ec, QSsl::Dsa}) {
        read.key = QSslKey(pem, algorithm, QSsl::Pem);
        if (!read.key.isNull())
            break;
    }
    if (certificates.isEmpty())
        read.problem = u"証明書ファイルに証明書がありません: "_s + path;
    else if (read.key.isNull())
        read.problem = u"証明書ファイルに秘密鍵がないか、鍵にパスフレーズが付いています: "_s + path;
    else
        read.certificate = certificates.constFirst();
    return read;
}
