#include "testCertificates.h"

#include <QFile>
#include <QProcess>
#include <QSslCertificate>

using namespace Qt::StringLiterals;

namespace {

QString nameOf(TestCertificates::Kind kind)
{
    switch (kind) {
    case TestCertificates::Kind::Trusted:
        return u"trusted"_s;
    case TestCertificates::Kind::OtherName:
        return u"other-name"_s;
    case TestCertificates::Kind::Expired:
        return u"expired"_s;
    case TestCertificates::Kind::SelfSigned:
        return u"self-signed"_s;
    case TestCertificates::Kind::OtherSelfSigned:
        return u"other-self-signed"_s;
    }
    return {};
}

} // namespace

QString TestCertificates::run(const QStringList &arguments)
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.setWorkingDirectory(m_dir.path());
    openssl.start(u"openssl"_s, arguments);
    if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
        return u"openssl "_s + arguments.join(u' ') + u": "_s
            + QString::fromLocal8Bit(openssl.readAll());
    return {};
}

QString TestCertificates::make()
{
    if (!m_dir.isValid())
        return u"no temporary folder"_s;
    // One key for every certificate: only the certificates differ between the cases.
    QFile caConfig(path(u"ca.cnf"_s));
    if (!caConfig.open(QIODevice::WriteOnly))
        return u"cannot write the CA configuration"_s;
    caConfig.write("[ca]\ndefault_ca = test\n[test]\ndir = .\ndatabase = index.txt\n"
                   "new_certs_dir = .\nserial = serial\ndefault_md = sha256\npolicy = any\n"
                   "unique_subject = no\n"
                   "copy_extensions = copy\n[any]\ncommonName = supplied\n");
    caConfig.close();
    QFile(path(u"index.txt"_s)).open(QIODevice::WriteOnly);
    QFile serial(path(u"serial"_s));
    serial.open(QIODevice::WriteOnly);
    serial.write("01\n");
    serial.close();
    const QStringList steps[] = {
        {u"genrsa"_s, u"-out"_s, u"key.pem"_s, u"2048"_s},
        {u"req"_s, u"-x509"_s, u"-key"_s, u"key.pem"_s, u"-out"_s, u"ca.pem"_s, u"-days"_s,
         u"3650"_s, u"-subj"_s, u"/CN=Kestrion Test CA"_s},
    };
    for (const QStringList &step : steps) {
        if (const QString failure = run(step); !failure.isEmpty())
            return failure;
    }
    const auto signedBy
        = [&](const QString &name, const QString &altName, const QStringList &dates) {
              if (const QString failure
                  = run({u"req"_s, u"-new"_s, u"-key"_s, u"key.pem"_s, u"-out"_s, name + u".csr"_s,
                         u"-subj"_s, u"/CN="_s + altName.section(u':', 1), u"-addext"_s,
                         u"subjectAltName="_s + altName});
                  !failure.isEmpty())
                  return failure;
              return run(QStringList {u"ca"_s, u"-batch"_s, u"-config"_s, u"ca.cnf"_s, u"-cert"_s,
                                      u"ca.pem"_s, u"-keyfile"_s, u"key.pem"_s, u"-in"_s,
                                      name + u".csr"_s, u"-out"_s, name + u".pem"_s, u"-notext"_s}
                         + dates);
          };
    const QStringList valid {u"-days"_s, u"365"_s};
    const QStringList past {u"-startdate"_s, u"20200101000000Z"_s, u"-enddate"_s,
                            u"20210101000000Z"_s};
    for (const auto &[name, altName, dates] :
         {std::tuple {nameOf(Kind::Trusted), u"IP:127.0.0.1"_s, valid},
          std::tuple {nameOf(Kind::OtherName), u"DNS:irc.elsewhere.example"_s, valid},
          std::tuple {nameOf(Kind::Expired), u"IP:127.0.0.1"_s, past}}) {
        if (const QString failure = signedBy(name, altName, dates); !failure.isEmpty())
            return failure;
    }
    for (const QString &name : {nameOf(Kind::SelfSigned), nameOf(Kind::OtherSelfSigned)}) {
        if (const QString failure
            = run({u"req"_s, u"-x509"_s, u"-key"_s, u"key.pem"_s, u"-out"_s, name + u".pem"_s,
                   u"-days"_s, u"365"_s, u"-subj"_s, u"/CN="_s + name, u"-addext"_s,
                   u"subjectAltName=IP:127.0.0.1"_s});
            !failure.isEmpty())
            return failure;
    }
    return {};
}

QString TestCertificates::certificateFile(Kind kind) const
{
    return path(nameOf(kind) + u".pem"_s);
}

QString TestCertificates::keyFile() const
{
    return path(u"key.pem"_s);
}

QString TestCertificates::clientCertificateFile(Kind kind) const
{
    QFile certificate(certificateFile(kind));
    QFile key(keyFile());
    QFile pem(path(nameOf(kind) + u".client.pem"_s));
    if (!certificate.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly)
        || !pem.open(QIODevice::WriteOnly))
        return {};
    pem.write(certificate.readAll() + key.readAll());
    return pem.fileName();
}

QByteArray TestCertificates::fingerprint(Kind kind) const
{
    return QSslCertificate::fromPath(certificateFile(kind))
        .value(0)
        .digest(QCryptographicHash::Sha256)
        .toHex();
}

QString TestCertificates::trustSetup() const
{
    return u"mkdir -p %1/trust && cp %1/ca.pem %1/trust/ && openssl rehash %1/trust && "
           u"mount --bind %1/trust /etc/ssl/certs"_s.arg(m_dir.path());
}
