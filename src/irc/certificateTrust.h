#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

class QSslError;

// Which server certificates the user has trusted, and what becomes of one that the system
// cannot verify. A yes holds for that host and port until the program ends; a host is the
// same whatever blanks surround it and in whatever case it was typed, as the name system
// treats it. Nobody may be at the desk during a reconnection, so it never asks then.
class CertificateTrust
{
public:
    enum class Decision { Trusted, AskUser, Refuse };

    // A handshake whose certificate, by its SHA-256 digest, the system could not verify.
    Decision decide(const QString &host, const QString &port, const QByteArray &digest,
                    const QList<QSslError> &errors, bool reconnecting);
    // The user's answer to the question that decide() called for.
    void answer(const QString &host, const QString &port, const QByteArray &digest, bool trusted);

    // For the line that reports a refused certificate: why the last one was not verified, in
    // the user's words, and whether the user said no to it (then no box follows).
    QString problem() const { return m_problem; }
    bool refusedByUser() const { return m_refusedByUser; }

private:
    static QString key(const QString &host, const QString &port);

    QHash<QString, QByteArray> m_trusted;
    QString m_problem;
    bool m_refusedByUser = false;
};
