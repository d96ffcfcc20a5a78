#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "platform/socketControl.h"
#include "platform/windowHelpers.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace basGeneral {

QString chatHint()
{
    return u"(Enterキーで文字を送信できます)"_s;
}

void SendLine(const QString &line)
{
    // A line break or NUL inside a pasted text would end the line early and smuggle the rest
    // to the server as a command of its own.
    QString safeLine = line;
    for (QChar &ch : safeLine) {
        if (ch == u'\r' || ch == u'\n' || ch == QChar(0))
            ch = u' ';
    }
    if (!mainForm().Ws->SendData(safeLine + u"\r\n"_s))
        AddStatusLog(u"[-] 未接続のため送信できません: "_s + safeLine);
}

void JoinChannel()
{
    SendLine(u"JOIN "_s + mainForm().strChannel);
}

void SendPrivmsg(const QString &text)
{
    SendLine(u"PRIVMSG "_s + mainForm().strChannel + u" :"_s + text);
}

void SendNotice(const QString &text)
{
    SendLine(u"NOTICE "_s + mainForm().strChannel + u" :"_s + text);
}

void SendChatText(const QString &text)
{
    SendPrivmsg(text);
    mainForm().txtSend->clear();
}

void EnableChatInput()
{
    QLineEdit *input = mainForm().txtSend;
    input->setEnabled(true);
    platform::setBackgroundColour(input, platform::COLOR_WINDOW);
    input->setText(chatHint());
}

} // namespace basGeneral
