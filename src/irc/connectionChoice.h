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
    // Sent first on every connection when not empty; kept for the life of the process, stored
    // nowhere, shown nowhere.
    QString password;
};
