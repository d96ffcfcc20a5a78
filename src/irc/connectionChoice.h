#pragma once

#include "wireEncoding.h"

#include <QString>

// What the user chose for a connection in the connect dialog.
struct ConnectionChoice
{
    QString server;
    QString port;
    QString nick;
    QString channel;
    WireEncoding encoding = WireEncoding::Cp932;
    bool tls = false;
    // With no account, the server's password, sent first on every connection when not empty;
    // with one, the account's, for SASL PLAIN. Kept for the life of the process, stored
    // nowhere, shown nowhere.
    QString password;
    // The account to log in with by SASL: PLAIN with the password, or EXTERNAL where a
    // certificate file (a PEM file with the certificate and its key, read at each connect)
    // is given; TLS only.
    QString account;
    QString certificateFile;
};
