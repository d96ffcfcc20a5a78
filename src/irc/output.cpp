#include "app/basGeneral.h"
#include "app/frmMain.h"
#include "platform/socketControl.h"
#include "platform/windowHelpers.h"
#include "timer/tickTimer.h"

#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace basGeneral {

QString chatHint()
{
    return u"(Enterキーで文字を送信できます)"_s;
}

namespace {

// A line break or NUL inside a pasted text would end the line early and smuggle the rest to
// the server as a command of its own.
QString withoutLineBreaks(const QString &line)
{
    QString safeLine = line;
    for (QChar &ch : safeLine) {
        if (ch == u'\r' || ch == u'\n' || ch == QChar(0))
            ch = u' ';
    }
    return safeLine;
}

void logUnsent(const QString &safeLine)
{
    AddStatusLog(u"[-] 未接続のため送信できません: "_s + safeLine);
}

// Until the join, the server refuses text for the channel, and nobody there would read it; the
// status log keeps it, like everything else that was not sent.
void sendToChannel(const QString &line)
{
    // A line whose moment a frozen or sleeping machine let pass would only mislead the channel,
    // and many at once would read as a flood.
    if (mainForm().tmrCountTime->isStale()) {
        AddStatusLog(u"[-] 時刻を過ぎたため送信しません: "_s + withoutLineBreaks(line));
        return;
    }
    if (!mainForm().loggedIn()) {
        logUnsent(withoutLineBreaks(line));
        return;
    }
    SendLine(line);
}

} // namespace

void SendLine(const QString &line)
{
    const QString safeLine = withoutLineBreaks(line);
    if (!mainForm().Ws->SendData(safeLine + u"\r\n"_s))
        logUnsent(safeLine);
}

void SendPassword(const QString &password)
{
    // A password with a blank, or one that begins with a colon, only arrives whole as the
    // line's trailing parameter.
    const QString safePassword = withoutLineBreaks(password);
    const bool trailing = safePassword.contains(u' ') || safePassword.startsWith(u':');
    if (!mainForm().Ws->SendData(u"PASS "_s + (trailing ? u":"_s : QString()) + safePassword
                                 + u"\r\n"_s))
        logUnsent(u"PASS"_s);
}

void JoinChannel()
{
    SendLine(u"JOIN "_s + mainForm().strChannel);
}

void SendPrivmsg(const QString &text)
{
    sendToChannel(u"PRIVMSG "_s + mainForm().strChannel + u" :"_s + text);
}

void SendNotice(const QString &text)
{
    sendToChannel(u"NOTICE "_s + mainForm().strChannel + u" :"_s + text);
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
