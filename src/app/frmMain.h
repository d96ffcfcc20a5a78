#pragma once

#include "platform/instanceLock.h"
#include "timer/measurementRun.h"

#include <QMainWindow>
#include <memory>

class ChannelPacer;
class IrcSession;
class LogView;
class MeasurementRun;
class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class frmConnect;
class frmServerLog;

// The program's start-up window: its controls, menus and logs. It lives as long as the process
// and joins the IRC session, the channel's pace and the run: what the run announces goes to the
// pacer, which writes it through the session, and what any of them reports shows here.
class frmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // False when another copy was running and this one was turned away.
    bool isRunningCopy() const { return m_runningCopy; }
    IrcSession &session() const { return *m_session; }
    ChannelPacer &pacer() const { return *m_pacer; }
    MeasurementRun &run() const { return *m_run; }
    // The single server-log window; its object lives as long as this window.
    frmServerLog &serverLog() const { return *m_serverLog; }
    // The connect dialog, loaded hidden if it is not loaded yet.
    frmConnect &connectDialog();
    bool isConnectDialogLoaded() const { return m_connectDialog != nullptr; }

    void AddStatusLog(const QString &text);
    void AddServerLog(const QString &data);

    // Application shell
    void mnuQuit_Click();
    void mnuServerLog_Click();
    void mnuAlwaysOnTop_Click();
    void mnuStatus_Click();
    void cmdClearLog_Click();

    // IRC client
    void mnuConnect_Click();
    void mnuDisconnect_Click();
    void Ws_DataArrival(const QString &read);
    void txtSend_ReturnPressed();
    void txtSend_GotFocus();

    // Measurement timer
    void cboMinutes_LostFocus();
    void cmdCount_Click();
    void tmrCountTime_Timer();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void createControls();
    void createMenus();
    void connectSession();
    void connectRun();
    // The run starts when the channel can get its lines on time.
    void startRun(const QString &minutesText);
    // The expanded view; the compact one ends above the status area.
    void showStatusArea(bool shown);
    void FillMinutesList();
    // Every control's enabled state, colour and caption, from the session and the run.
    void updateControls();
    void EnableChatInput();
    void askAboutCertificate(const QString &question);
    void reportConnectFailure(const QString &description);

    QPushButton *cmdCount;
    QComboBox *cboMinutes;
    QLabel *lblTimeLimit;
    QLineEdit *txtSend;
    LogView *txtStatus;
    QPushButton *cmdClearLog;
    QMenu *mnuServer;
    QAction *mnuConnect;
    QAction *mnuDisconnect;
    QAction *mnuServerLog;
    QAction *mnuQuit;
    QMenu *mnuSetting;
    QAction *mnuAlwaysOnTop;
    QAction *mnuRestTime;
    QAction *mnuStatus;

    IrcSession *m_session;
    ChannelPacer *m_pacer;
    MeasurementRun *m_run;
    platform::InstanceLock m_instanceLock;
    bool m_runningCopy = false;
    std::unique_ptr<frmServerLog> m_serverLog;
    frmConnect *m_connectDialog = nullptr;
};
