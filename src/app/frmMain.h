#pragma once

#include "irc/certificateTrust.h"
#include "irc/receivedLines.h"
#include "platform/instanceLock.h"
#include "platform/runClock.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>

class LogView;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSslCertificate;
class QSslError;
class QTimer;
class TickTimer;
class Reconnection;
class SocketControl;
class frmConnect;
class frmServerLog;

// The program's start-up window: it lives as long as the process and owns the state that
// every part of the program shares.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // Connection parameters, written by the connect dialog and the connection handling.
    QString strChannel;
    QString strServer;
    QString strPort;
    QString strNick;
    bool blnStartWar = false;

    // Controls
    QPushButton *cmdCount;
    QComboBox *cboMinutes;
    QLabel *lblTimeLimit;
    QLineEdit *txtSend;
    LogView *txtStatus;
    QPushButton *cmdClearLog;
    TickTimer *tmrCountTime;
    SocketControl *Ws;

    QMenu *mnuServer;
    QAction *mnuConnect;
    QAction *mnuDisconnect;
    QAction *mnuServerLog;
    QAction *mnuQuit;
    QMenu *mnuSetting;
    QAction *mnuAlwaysOnTop;
    QAction *mnuRestTime;
    QAction *mnuStatus;

    // False when another copy was running and this one was turned away.
    bool isRunningCopy() const { return m_runningCopy; }
    bool loggedIn() const { return blnLoggedIn; }

    // The single server-log window; its object lives as long as this window.
    frmServerLog &serverLog();
    // The connect dialog, loaded hidden if it is not loaded yet.
    frmConnect &connectDialog();
    bool isConnectDialogLoaded() const { return m_connectDialog != nullptr; }

    // Application shell
    void Form_Load();
    void Form_Unload(qint16 &Cancel);
    void mnuQuit_Click();
    void mnuServerLog_Click();
    void mnuAlwaysOnTop_Click();
    void mnuStatus_Click();
    void cmdClearLog_Click();

    // IRC client
    void mnuConnect_Click();
    void mnuDisconnect_Click();
    void Ws_Connect();
    void Ws_DataArrival(qint64 bytesTotal);
    void Ws_Close();
    void Ws_Error(qint16 Number, const QString &Description);
    // Whether to go on with a certificate the system could not verify.
    bool Ws_CertificateUnverified(const QSslCertificate &certificate,
                                  const QList<QSslError> &errors);
    // The server password, sent first on every connection when not empty; kept for the life
    // of the process, stored nowhere, shown nowhere.
    void setServerPassword(const QString &password) { m_serverPassword = password; }
    const QString &serverPassword() const { return m_serverPassword; }
    void txtSend_KeyPress(qint16 &KeyAscii);
    void txtSend_GotFocus();

    // Automatic reconnection after a lost connection
    bool isReconnecting() const;
    // Tests shorten the schedule: the length of one of its seconds.
    void setReconnectSecondMs(int milliseconds);

    // Measurement timer
    void cboMinutes_LostFocus();
    void cmdCount_Click();
    void tmrCountTime_Timer();
    // The machine froze or slept past one or more ticks: their lines are logged, not sent.
    void tmrCountTime_Stalled(platform::RunClock::time_point since,
                              platform::RunClock::time_point now);
    void ShowProgressCaption(const QString &baseCaption, qint16 elapsed);
    void FinishMeasurement(const QString &caption);
    qint16 elapsedSeconds() const { return intElapsed; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();
    // The expanded view; the compact one ends above the status area.
    void showStatusArea(bool shown);
    void sendLoginLines();
    void applyPreLoginTests(const QString &block);
    void refuseNickname(const QString &why);
    void applyPostLoginTests(const QString &block);
    void completeLogin();
    void startReconnecting();
    void reconnectNow();
    void giveUpAttempt();
    void scheduleReconnection();
    void reconnectionFailed(const QString &why);
    void tryAlternateNickname();
    void finishReconnecting();
    void cancelReconnection();
    // N, read from the box each time it is needed.
    qint16 measuringMinutes() const;
    bool isRunInProgress() const;

    qint16 intCountDown = 0;
    qint16 intElapsed = 0;
    QString strSendText;
    QString strBaseCaption;
    bool blnLoggedIn = false;
    // The server has named itself on this connection (by 020, or else by its welcome); a later
    // welcome does not rename it.
    bool m_serverNamed = false;

    // The host as the user chose it; the server may rename strServer.
    QString m_connectHost;
    // The user or the program itself ended the connection: nothing to mend.
    bool m_closeAskedFor = false;
    // The pause between the connection opening and the login lines.
    QTimer *m_loginPause;
    ReceivedLines m_receivedLines;
    QString m_serverPassword;
    CertificateTrust m_certificateTrust;
    Reconnection *m_reconnection;

    platform::InstanceLock m_instanceLock;
    bool m_runningCopy = false;
    std::unique_ptr<frmServerLog> m_serverLog;
    frmConnect *m_connectDialog = nullptr;
};
