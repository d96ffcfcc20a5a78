#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// The certificate and private key a client shows the server over TLS (SASL EXTERNAL logs in
// with it), read from one PEM file at each connect and kept nowhere else.
struct ClientCertificate
{
    QSslCertificate certificate;
    QSslKey key;
    // Why the file gave no usable pair, for the status log; empty when it did.
    QString problem;

    static ClientCertificate read(const QString &path);
};
