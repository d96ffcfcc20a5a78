#include "frmMain.h"

#include "common/blanks.h"
#include "common/logTimeStamp.h"
#include "common/version.h"
#include "frmConnect.h"
#include "frmServerLog.h"
#include "irc/channelPacer.h"
#include "irc/ircSession.h"
#include "logView.h"
#include "platform/messageBox.h"
#include "platform/processControl.h"
#include "platform/windowHelpers.h"
#include "timer/measurementRun.h"
#include "timer/minutesText.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTime>
#include <algorithm>

using namespace Qt::StringLiterals;
using namespace platform;

namespace {

// The classic layout gave the whole window 1695 twips (compact) or 3360 twips (expanded), of
// which a Windows frame, title bar and menu bar took 690. Here the window manager draws its
// own frame, so the client area gets the height the layout was made for: down to the chat
// input, or down to the status log's clear button.
constexpr int compactClientTwips = 1005;
constexpr int expandedClientTwips = 2670;
constexpr int clientWidthTwips = 4215;

// The window's caption when no run shows in it.
const QString programCaption = u"ケストリオン"_s;

QString chatHint()
{
    return u"(Enterキーで文字を送信できます)"_s;
}

} // namespace

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent)
    , m_session(new IrcSession(this))
    , m_pacer(new ChannelPacer(m_session, this))
    , m_run(new MeasurementRun(programCaption, this))
    , m_serverLog(std::make_unique<frmServerLog>())
{
    setObjectName(u"frmMain"_s);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                   | Qt::CustomizeWindowHint);
    setWindowTitle(programCaption);
    setWindowIcon(programIcon());
    setFont(japaneseFont(9));

    createControls();
    createMenus();
    connectSession();
    connectRun();
    updateControls();
    showStatusArea(false);
    const QRect client = twipsRect(5655, 1560, clientWidthTwips, compactClientTwips);
    setGeometry(client.x(), client.y() - menuBar()->sizeHint().height(), width(), height());

    Form_Load();
}

frmMain::~frmMain()
{
    delete m_connectDialog;
}

void frmMain::connectSession()
{
    connect(m_session, &IrcSession::statusLine, this, &frmMain::AddStatusLog);
    connect(m_session, &IrcSession::dataReceived, this, &frmMain::Ws_DataArrival);
    connect(m_session, &IrcSession::stateChanged, this, &frmMain::updateControls);
    connect(m_session, &IrcSession::loggedInToChannel, this, &frmMain::EnableChatInput);
    connect(m_session, &IrcSession::nicknameRefused, this,
            [this](const QString &suggestion) { connectDialog().suggestNickname(suggestion); });
    connect(m_session, &IrcSession::certificateQuestion, this, &frmMain::askAboutCertificate);
    connect(
        m_session, &IrcSession::connectRefused, this,
        [](const QString &text, const QString &title) { messageBox(text, MB_ICONERROR, title); });
    connect(m_session, &IrcSession::connectFailed, this, &frmMain::reportConnectFailure);
    connect(m_pacer, &ChannelPacer::statusLine, this, &frmMain::AddStatusLog);
}

void frmMain::connectRun()
{
    connect(m_run, &MeasurementRun::linesDue, m_pacer, &ChannelPacer::sendRunLines);
    connect(m_run, &MeasurementRun::scheduleChanged, m_pacer, &ChannelPacer::protectSchedule);
    connect(m_run, &MeasurementRun::captionChanged, this, &frmMain::setWindowTitle);
    connect(m_run, &MeasurementRun::statusLine, this, &frmMain::AddStatusLog);
    connect(m_run, &MeasurementRun::phaseChanged, this, &frmMain::updateControls);
}

void frmMain::startRun(const QString &minutesText)
{
    const ScheduledLines lines = allRunLines(minutesText);
    m_run->start(minutesText, lines, m_pacer->planStart(lines));
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

    txtSend = new QLineEdit(client);
    txtSend->setObjectName(u"txtSend"_s);
    txtSend->setAccessibleName(u"チャット入力"_s);
    placeInTwips(txtSend, 0, 720, 4215, 285);
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
    connect(txtSend, &QLineEdit::returnPressed, this, &frmMain::txtSend_ReturnPressed);

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
    connect(mnuRestTime, &QAction::toggled, m_run, &MeasurementRun::setShowsRemaining);

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

frmConnect &frmMain::connectDialog()
{
    if (!m_connectDialog) {
        m_connectDialog = new frmConnect;
        connect(m_connectDialog, &frmConnect::unloaded, this,
                [this] { m_connectDialog = nullptr; });
        connect(m_connectDialog, &frmConnect::connectChosen, m_session, &IrcSession::connectTo);
        m_connectDialog->Form_Load(m_session->lastChoice());
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
    FillMinutesList();
    AddStatusLog(u"[i] "_s + programCaption + QString::number(versionMajor) + u"."_s
                 + QString::number(versionMinor) + u"."_s + QString::number(versionRevision)
                 + u" 起動"_s);
    // A timer that will not start because of a read-only runtime folder helps nobody; the
    // user only loses the guard against a second copy, and is told so.
    if (lock == InstanceLock::Outcome::Unavailable)
        AddStatusLog(u"[-] ロックファイルを作成できないため、二重起動を検出できません"_s);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    if (m_runningCopy && m_session->isConnected()
        && messageBox(u"現在接続中です。\r\n本当に終了しますか？"_s, MB_CONFIRM) != IDOK) {
        event->ignore();
        return;
    }
    if (m_runningCopy) {
        m_session->shutDown();
        serverLog().Unload();
        // A dialog held hidden for a nickname suggestion must not outlive the program.
        delete m_connectDialog;
        m_connectDialog = nullptr;
        m_run->halt();
    }
    event->accept();
}

void frmMain::updateControls()
{
    const bool loggedIn = m_session->loggedIn();
    const bool idle = !m_run->isInProgress();
    // A connection that has said QUIT is still there until the server closes it.
    const bool underWay = m_session->isConnecting()
        || m_session->state() == IrcSession::State::Quitting;
    const bool offlineAttempt = underWay || m_session->isReconnecting();
    // Whatever is under way can be ended: a login, a reconnection, or, when idle, the
    // connection. A run's connection is kept until the run is over.
    mnuConnect->setEnabled(!loggedIn && (!underWay || m_session->isReconnecting()));
    mnuDisconnect->setEnabled(loggedIn ? idle : offlineAttempt);
    // A measurement, and the wait before a countdown, can always be stopped, connected or not;
    // a countdown cannot.
    cmdCount->setText(idle ? u"開始"_s : u"中断"_s);
    cmdCount->setEnabled(idle ? loggedIn : m_run->phase() != MeasurementRun::Phase::Countdown);
    cboMinutes->setEnabled(loggedIn && idle);
    setBackgroundColour(cboMinutes, cboMinutes->isEnabled() ? COLOR_WINDOW : COLOR_SCROLLBAR);
    txtSend->setEnabled(loggedIn);
    setBackgroundColour(txtSend, loggedIn ? COLOR_WINDOW : COLOR_SCROLLBAR);
}

void frmMain::AddStatusLog(const QString &text)
{
    txtStatus->appendEntry(u"\r\n"_s + logTimeStamp(QTime::currentTime()) + text);
}

void frmMain::AddServerLog(const QString &data)
{
    serverLog().Load();
    serverLog().txtRec->appendEntry(u"\r\n"_s + logTimeStamp(QTime::currentTime()) + u"\r\n"_s
                                    + data);
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

void frmMain::mnuConnect_Click()
{
    // The user takes the connection into their own hands.
    m_session->abandonReconnection();
    QPointer<frmConnect> dialog = &connectDialog();
    dialog->exec();
}

void frmMain::mnuDisconnect_Click()
{
    if (m_session->isConnected() && messageBox(u"本当に切断しますか？"_s, MB_CONFIRM) != IDOK)
        return;
    m_session->disconnectFromServer();
}

void frmMain::Ws_DataArrival(const QString &read)
{
    AddServerLog(read);
}

void frmMain::askAboutCertificate(const QString &question)
{
    m_session->answerCertificateQuestion(messageBox(question, MB_WARY_QUESTION) == IDYES);
}

void frmMain::reportConnectFailure(const QString &description)
{
    // The channel keeps its clock even when the server cannot be reached: a run in progress
    // outlives the failed connect.
    if (m_run->isInProgress()) {
        AddStatusLog(u"[-] "_s + m_session->server() + u"に接続できません: "_s + description);
        messageBox(description, MB_ICONERROR);
        return;
    }
    messageBox(description, MB_ICONERROR);
    terminateProcess(1);
}

void frmMain::EnableChatInput()
{
    updateControls();
    txtSend->setText(chatHint());
}

void frmMain::txtSend_ReturnPressed()
{
    const QString text = withoutSurroundingBlanks(txtSend->text());
    if (text.isEmpty())
        return;
    m_pacer->SendChatText(text);
    txtSend->clear();
}

void frmMain::txtSend_GotFocus()
{
    if (txtSend->text() == chatHint())
        txtSend->clear();
}

void frmMain::FillMinutesList()
{
    cboMinutes->clear();
    // Not sorted: "5" stands before "10".
    for (const char16_t *preset : {u"0", u"1", u"2", u"3", u"5", u"10", u"15", u"20", u"30", u"45",
                                   u"50", u"60", u"90", u"120"})
        cboMinutes->addItem(QString::fromUtf16(preset));
    cboMinutes->setEditText(minutesText::defaultText());
}

void frmMain::cboMinutes_LostFocus()
{
    const minutesText::Check result = minutesText::check(cboMinutes->currentText());
    if (result.verdict != minutesText::Verdict::Accepted)
        messageBox(minutesText::messageFor(result.verdict), MB_ICONERROR);
    if (cboMinutes->currentText() != result.text)
        cboMinutes->setEditText(result.text);
}

void frmMain::cmdCount_Click()
{
    if (m_run->isInProgress()) {
        if (m_run->phase() != MeasurementRun::Phase::Countdown)
            m_run->interrupt();
        return;
    }
    // The box is validated whenever it loses the focus; this catches a start that came without
    // a focus change, so that the run reads a valid N.
    if (minutesText::check(cboMinutes->currentText()).text != cboMinutes->currentText())
        cboMinutes_LostFocus();
    startRun(cboMinutes->currentText());
}

void frmMain::tmrCountTime_Timer()
{
    m_run->tmrCountTime_Timer();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cboMinutes && isLossOfFocus(event))
        cboMinutes_LostFocus();
    // Also when the focus comes back with the window: a click into an inactive window gives
    // the box the focus that way, and the user would type into the hint.
    if (watched == txtSend && event->type() == QEvent::FocusIn)
        txtSend_GotFocus();
    return QMainWindow::eventFilter(watched, event);
}
