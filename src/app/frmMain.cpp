#include "frmMain.h"

#include "basGeneral.h"
#include "frmServerLog.h"
#include "irc/frmConnect.h"
#include "irc/reconnection.h"
#include "logView.h"
#include "platform/messageBox.h"
#include "platform/processControl.h"
#include "platform/socketControl.h"
#include "platform/windowHelpers.h"
#include "timer/tickTimer.h"
#include "version.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace platform;
using namespace basGeneral;

namespace {

// The classic layout gave the whole window 1695 twips (compact) or 3360 twips (expanded), of
// which a Windows frame, title bar and menu bar took 690. Here the window manager draws its
// own frame, so the client area gets the height the layout was made for: down to the chat
// input, or down to the status log's clear button.
constexpr int compactClientTwips = 1005;
constexpr int expandedClientTwips = 2670;
constexpr int clientWidthTwips = 4215;

} // namespace

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent)
    , tmrCountTime(new TickTimer(this))
    , Ws(new SocketControl(this))
    , m_loginPause(new QTimer(this))
    , m_reconnection(new Reconnection(this))
    , m_serverLog(std::make_unique<frmServerLog>())
{
    setObjectName(u"frmMain"_s);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::CustomizeWindowHint);
    setWindowTitle(u"ケストリオン"_s);
    setWindowIcon(programIcon());
    setFont(japaneseFont(9));

    tmrCountTime->setObjectName(u"tmrCountTime"_s);
    connect(tmrCountTime, &TickTimer::timeout, this, &frmMain::tmrCountTime_Timer);
    connect(tmrCountTime, &TickTimer::stalled, this, &frmMain::tmrCountTime_Stalled);
    Ws->setObjectName(u"Ws"_s);
    connect(Ws, &SocketControl::ConnectEvent, this, &frmMain::Ws_Connect);
    connect(Ws, &SocketControl::DataArrival, this, &frmMain::Ws_DataArrival);
    connect(Ws, &SocketControl::CloseEvent, this, &frmMain::Ws_Close);
    connect(Ws, &SocketControl::Error, this, &frmMain::Ws_Error);
    Ws->setCertificateCheck(
        [this](const QSslCertificate &certificate, const QList<QSslError> &errors) {
            return Ws_CertificateUnverified(certificate, errors);
        });
    m_loginPause->setSingleShot(true);
    m_loginPause->setTimerType(Qt::PreciseTimer);
    m_loginPause->setInterval(250);
    connect(m_loginPause, &QTimer::timeout, this, &frmMain::sendLoginLines);
    connect(m_reconnection, &Reconnection::attemptDue, this, &frmMain::reconnectNow);
    connect(m_reconnection, &Reconnection::loginOverdue, this, &frmMain::giveUpAttempt);

    createControls();
    createMenus();
    showStatusArea(false);
    const QRect client = twipsRect(5655, 1560, clientWidthTwips, compactClientTwips);
    setGeometry(client.x(), client.y() - menuBar()->sizeHint().height(), width(), height());

    Form_Load();
}

frmMain::~frmMain()
{
    delete m_connectDialog;
    if (m_runningCopy)
        setMainForm(nullptr);
}

void frmMain::createControls()
{
    auto *client = new QWidget(this);
    setCentralWidget(client);

    lblTimeLimit = new QLabel(u"計測時間　　　　　分"_s, client);
    lblTimeLimit->setObjectName(u"lblTimeLimit"_s);
    placeInTwips(lblTimeLimit, 120, 240, 2175, 300);
    lblTimeLimit->setFont(japaneseFont(9.75));
    lblTimeLimit->setFocusPolicy(Qt::NoFocus);

    // Made after the label, so it is drawn over the label's run of wide blanks.
    cboMinutes = new QComboBox(client);
    cboMinutes->setObjectName(u"cboMinutes"_s);
    cboMinutes->setEditable(true);
    cboMinutes->setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would turn a typed "12" into the preset "120".
    cboMinutes->setCompleter(nullptr);
    cboMinutes->setEditText(u"20"_s);
    placeInTwips(cboMinutes, 960, 180, 615, 300);
    cboMinutes->installEventFilter(this);
    nameBox(lblTimeLimit, cboMinutes);

    cmdCount = new QPushButton(u"開始"_s, client);
    cmdCount->setObjectName(u"cmdCount"_s);
    placeInTwips(cmdCount, 2640, 120, 1575, 495);
    cmdCount->setEnabled(false);

    txtSend = new QLineEdit(client);
    txtSend->setObjectName(u"txtSend"_s);
    txtSend->setAccessibleName(u"チャット入力"_s);
    placeInTwips(txtSend, 0, 720, 4215, 285);
    txtSend->setEnabled(false);
    setBackgroundColour(txtSend, COLOR_SCROLLBAR);
    txtSend->installEventFilter(this);

    txtStatus = new LogView(client);
    txtStatus->setObjectName(u"txtStatus"_s);
    txtStatus->setAccessibleName(u"ステータス"_s);
    placeInTwips(txtStatus, 0, 1080, 4215, 1095);
    setBackgroundColour(txtStatus, COLOR_MENU);

    cmdClearLog = new QPushButton(u"クリア"_s, client);
    cmdClearLog->setObjectName(u"cmdClearLog"_s);
    placeInTwips(cmdClearLog, 2880, 2280, 1335, 375);
    connect(cmdClearLog, &QPushButton::clicked, this, &frmMain::cmdClearLog_Click);
    connect(cmdCount, &QPushButton::clicked, this, &frmMain::cmdCount_Click);

    setTabOrder(txtSend, txtStatus);
    setTabOrder(txtStatus, cmdCount);
    setTabOrder(cmdCount, cmdClearLog);
    setTabOrder(cmdClearLog, cboMinutes);
}

void frmMain::createMenus()
{
    const auto addEntry = [](QMenu *menu, const QString &caption, const QString &name) {
        QAction *entry = menu->addAction(caption);
        entry->setObjectName(name);
        entry->setMenuRole(QAction::NoRole);
        return entry;
    };
    mnuServer = menuBar()->addMenu(u"サーバ"_s);
    mnuServer->setObjectName(u"mnuServer"_s);
    mnuConnect = addEntry(mnuServer, u"接続"_s, u"mnuConnect"_s);
    mnuDisconnect = addEntry(mnuServer, u"切断"_s, u"mnuDisconnect"_s);
    mnuDisconnect->setEnabled(false);
    mnuServerLog = addEntry(mnuServer, u"サーバログ"_s, u"mnuServerLog"_s);
    mnuQuit = addEntry(mnuServer, u"終了"_s, u"mnuQuit"_s);

    mnuSetting = menuBar()->addMenu(u"表示"_s);
    mnuSetting->setObjectName(u"mnuSetting"_s);
    mnuAlwaysOnTop = addEntry(mnuSetting, u"常に前面へ"_s, u"mnuAlwaysOnTop"_s);
    mnuRestTime = addEntry(mnuSetting, u"残り時間表示"_s, u"mnuRestTime"_s);
    mnuStatus = addEntry(mnuSetting, u"ステータス"_s, u"mnuStatus"_s);

    // The check mark is each view setting's only record; the menu toggles it before the
    // handler makes the window follow.
    for (QAction *setting : {mnuAlwaysOnTop, mnuRestTime, mnuStatus})
        setting->setCheckable(true);

    connect(mnuConnect, &QAction::triggered, this, &frmMain::mnuConnect_Click);
    connect(mnuDisconnect, &QAction::triggered, this, &frmMain::mnuDisconnect_Click);
    connect(mnuServerLog, &QAction::triggered, this, &frmMain::mnuServerLog_Click);
    connect(mnuQuit, &QAction::triggered, this, &frmMain::mnuQuit_Click);
    connect(mnuAlwaysOnTop, &QAction::triggered, this, &frmMain::mnuAlwaysOnTop_Click);
    connect(mnuStatus, &QAction::triggered, this, &frmMain::mnuStatus_Click);

    // The key Linux desktops open a menu bar with.
    auto *openMenuBar = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(openMenuBar, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(mnuServer->menuAction()); });
}

void frmMain::showStatusArea(bool shown)
{
    const QList<QWidget *> statusArea {txtStatus, cmdClearLog};
    // Below the compact window's edge the status area is out of sight, so it must be out of
    // the keyboard's reach too: no Tab stop, and no key pressing an unseen クリア.
    if (!shown && statusArea.contains(focusWidget())) {
        const QList<QWidget *> above {txtSend, cmdCount, cboMinutes};
        const auto enabled = std::find_if(above.begin(), above.end(), [](const QWidget *control) {
            return control->isEnabled();
        });
        if (enabled != above.end())
            (*enabled)->setFocus(Qt::OtherFocusReason);
        else
            focusWidget()->clearFocus();
    }
    for (QWidget *control : statusArea)
        control->setFocusPolicy(shown ? Qt::StrongFocus : Qt::NoFocus);
    setFixedSize(twipsToPixels(clientWidthTwips),
                 menuBar()->sizeHint().height()
                     + twipsToPixels(shown ? expandedClientTwips : compactClientTwips));
}

frmServerLog &frmMain::serverLog()
{
    return *m_serverLog;
}

frmConnect &frmMain::connectDialog()
{
    if (!m_connectDialog) {
        m_connectDialog = new frmConnect;
        connect(m_connectDialog, &frmConnect::unloaded, this,
                [this] { m_connectDialog = nullptr; });
        m_connectDialog->Form_Load();
    }
    return *m_connectDialog;
}

void frmMain::Form_Load()
{
    const InstanceLock::Outcome lock = m_instanceLock.tryAcquire();
    if (lock == InstanceLock::Outcome::HeldByAnotherCopy) {
        messageBox(u"既に起動されています。"_s, MB_OK);
        terminateProcess(1);
        return;
    }
    m_runningCopy = true;
    setMainForm(this);

    StopTickTimer();
    SetMenusOffline();
    FillMinutesList();
    strBaseCaption = windowTitle();
    strChannel.clear();
    strServer.clear();
    strNick.clear();
    strPort.clear();
    blnLoggedIn = false;
    AddStatusLog(u"[i] "_s + strBaseCaption + QString::number(versionMajor) + u"."_s
                 + QString::number(versionMinor) + u"."_s + QString::number(versionRevision)
                 + u" 起動"_s);
    // A timer that will not start because of a read-only runtime folder helps nobody; the
    // user only loses the guard against a second copy, and is told so.
    if (lock == InstanceLock::Outcome::Unavailable)
        AddStatusLog(u"[-] ロックファイルを作成できないため、二重起動を検出できません"_s);
    blnStartWar = false;
}

void frmMain::closeEvent(QCloseEvent *event)
{
    qint16 Cancel = 0;
    if (m_runningCopy)
        Form_Unload(Cancel);
    if (Cancel)
        event->ignore();
    else
        event->accept();
}

void frmMain::Form_Unload(qint16 &Cancel)
{
    if (Ws->State() == SocketControl::sckConnected
        && messageBox(u"現在接続中です。\r\n本当に終了しますか？"_s, MB_CONFIRM) != IDOK) {
        Cancel = -1;
        return;
    }
    cancelReconnection();
    Ws->Close();
    serverLog().Unload();
    // A dialog held hidden for a nickname suggestion must not outlive the program.
    delete m_connectDialog;
    m_connectDialog = nullptr;
    StopTickTimer();
}

void frmMain::mnuQuit_Click()
{
    close();
}

void frmMain::mnuServerLog_Click()
{
    serverLog().Show();
}

void frmMain::mnuAlwaysOnTop_Click()
{
    setAlwaysOnTop(this, mnuAlwaysOnTop->isChecked());
}

void frmMain::mnuStatus_Click()
{
    showStatusArea(mnuStatus->isChecked());
}

void frmMain::cmdClearLog_Click()
{
    if (messageBox(u"ログをクリアしますか？"_s, MB_CONFIRM) == IDOK)
        txtStatus->setLogText(QString());
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cboMinutes && isLossOfFocus(event))
        cboMinutes_LostFocus();
    // Also when the focus comes back with the window: a click into an inactive window gives
    // the box the focus that way, and the user would type into the hint.
    if (watched == txtSend && event->type() == QEvent::FocusIn)
        txtSend_GotFocus();
    if (watched == txtSend && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            qint16 KeyAscii = 13;
            txtSend_KeyPress(KeyAscii);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
