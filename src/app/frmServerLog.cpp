#include "frmServerLog.h"

#include "logView.h"
#include "platform/windowHelpers.h"

#include <QCloseEvent>
#include <QPushButton>

using namespace Qt::StringLiterals;
using namespace platform;

frmServerLog::frmServerLog()
    : QWidget(nullptr,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
{
    setObjectName(u"frmServerLog"_s);
    setWindowTitle(u"サーバログ"_s);
    setWindowIcon(programIcon());
    setFixedSize(twipsToPixels(7350), twipsToPixels(6060));
}

void frmServerLog::Load()
{
    if (isLoaded())
        return;
    txtRec = new LogView(this);
    txtRec->setObjectName(u"txtRec"_s);
    txtRec->setAccessibleName(u"サーバログ"_s);
    placeInTwips(txtRec, 0, 0, 7335, 5535);
    setBackgroundColour(txtRec, COLOR_MENU);
    txtRec->setFont(japaneseFont(9));

    cmdClearLog = new QPushButton(u"クリア"_s, this);
    cmdClearLog->setObjectName(u"cmdClearLog"_s);
    placeInTwips(cmdClearLog, 6000, 5640, 1335, 375);
    connect(cmdClearLog, &QPushButton::clicked, this, &frmServerLog::cmdClearLog_Click);

    setTabOrder(txtRec, cmdClearLog);
    Form_Load();
}

void frmServerLog::Show()
{
    Load();
    show();
    raise();
    activateWindow();
}

void frmServerLog::Unload()
{
    if (!isLoaded())
        return;
    Form_Unload();
    hide();
    delete txtRec;
    delete cmdClearLog;
    txtRec = nullptr;
    cmdClearLog = nullptr;
}

void frmServerLog::closeEvent(QCloseEvent *event)
{
    Unload();
    event->accept();
}

void frmServerLog::Form_Load()
{
    txtRec->setLogText(strSavedLog);
    txtRec->setEndsInCarriageReturn(m_savedEndsInCarriageReturn);
}

void frmServerLog::Form_Unload()
{
    strSavedLog = txtRec->logText();
    m_savedEndsInCarriageReturn = txtRec->endsInCarriageReturn();
}

void frmServerLog::cmdClearLog_Click()
{
    txtRec->setLogText(QString());
}
