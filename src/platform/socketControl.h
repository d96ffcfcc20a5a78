#pragma once

#include "cp932.h"

#include <QAbstractSocket>
#include <QObject>

class QTcpSocket;

// The one TCP connection to the IRC server, with the semantics the program's handlers rely
// on: every outcome of a connect arrives later as an event, our own Close() raises no event,
// a remote close is a Close event and never an Error, and text crosses the wire as CP932.
class SocketControl : public QObject
{
    Q_OBJECT
public:
    enum State : int {
        sckClosed = 0,
        sckResolvingHost = 4,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
    };

    enum ErrorNumber : qint16 {
        sckConnectAborted = 10053,
        sckTimedOut = 10060,
        sckConnectionRefused = 10061,
        sckHostUnreachable = 10065,
        sckHostNotFound = 11004,
    };

    static constexpr qint64 readChunkBytes = 64 * 1024;

    explicit SocketControl(QObject *parent = nullptr);

    void Connect(const QString &host, const QString &port);
    void Close();
    // False, with nothing sent, unless connected.
    bool SendData(const QString &text);
    void GetData(QString &data);
    int State() const;
    QString LocalHostName() const;

signals:
    void ConnectEvent();
    void DataArrival(qint64 bytesTotal);
    void CloseEvent();
    void Error(qint16 number, const QString &description);

private:
    void onConnected();
    void onDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError error);
    void raiseErrorLater(qint16 number, const QString &description);

    QTcpSocket *m_socket;
    platform::Cp932Decoder m_decoder;
    // Queued events belong to one attempt; a later Connect() or Close() makes them stale.
    quint64 m_attempt = 0;
    bool m_closingHere = false;
    bool m_peerClosed = false;
};
