#include "certificateTrust.h"

#include "certificateQuestion.h"

using namespace Qt::StringLiterals;

CertificateTrust::Decision CertificateTrust::decide(const QString &host, const QString &port,
                                                    const QByteArray &digest,
                                                    const QList<QSslError> &errors,
                                                    bool reconnecting)
{
    m_problem = certificateQuestion::problems(errors).join(u"、"_s);
    m_refusedByUser = false;
    if (!digest.isEmpty() && m_trusted.value(key(host, port)) == digest)
        return Decision::Trusted;
    return reconnecting ? Decision::Refuse : Decision::AskUser;
}

void CertificateTrust::answer(const QString &host, const QString &port, const QByteArray &digest,
                              bool trusted)
{
    m_refusedByUser = !trusted;
    if (trusted)
        m_trusted.insert(key(host, port), digest);
}

QString CertificateTrust::key(const QString &host, const QString &port)
{
    return host.trimmed().toCaseFolded() + u':' + port.trimmed();
}
