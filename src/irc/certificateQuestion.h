#pragma once

#include <QList>
#include <QSslError>
#include <QString>
#include <QStringList>

class QSslCertificate;

// What the user is told about a server certificate that could not be verified.
namespace certificateQuestion {

// Why, one line a reason, in the user's words; several errors of one kind make one line.
QStringList problems(const QList<QSslError> &errors);

// SHA-256, as colon-separated upper-case hex pairs.
QString fingerprint(const QSslCertificate &certificate);

// The whole question: the reasons, the server, the certificate's subject, issuer, validity and
// fingerprint, and whether to trust it for this server until the program ends.
QString text(const QString &host, const QString &port, const QSslCertificate &certificate,
             const QList<QSslError> &errors);

} // namespace certificateQuestion
