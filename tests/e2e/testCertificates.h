#pragma once

#include <QString>
#include <QTemporaryDir>

// Certificates made for one test with openssl: a private CA, server certificates it signs (for
// 127.0.0.1, for another name, an expired one) and two self-signed ones. Nothing trusts the CA
// until a test makes it trusted (trustSetup()).
class TestCertificates
{
public:
    enum class Kind { Trusted, OtherName, Expired, SelfSigned, OtherSelfSigned };

    // Empty on success, else what openssl said.
    QString make();
    QString certificateFile(Kind kind) const;
    QString keyFile() const;
    // That certificate with its key in one file, as a client shows it; empty if not written.
    QString clientCertificateFile(Kind kind) const;
    // Its SHA-256 fingerprint in hexadecimal, as services register it.
    QByteArray fingerprint(Kind kind) const;
    // A shell command for a private mount namespace: the system's certificate folder replaced
    // by one that holds the CA alone.
    QString trustSetup() const;

private:
    QString run(const QStringList &arguments);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};
