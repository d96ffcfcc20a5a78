#include "app/basGeneral.h"
#include "app/frmMain.h"

#include <QLineEdit>

namespace {

bool isChatBlank(QChar ch)
{
    return ch == u' ' || ch == QChar(0x3000);
}

QString withoutSurroundingBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isChatBlank(text.at(begin)))
        ++begin;
    while (end > begin && isChatBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

void frmMain::txtSend_KeyPress(qint16 &KeyAscii)
{
    if (KeyAscii != 13)
        return;
    strSendText.clear();
    strSendText = withoutSurroundingBlanks(txtSend->text());
    if (strSendText.isEmpty())
        return;
    basGeneral::SendChatText(strSendText);
    txtSend->clear();
}

void frmMain::txtSend_GotFocus()
{
    if (txtSend->text() == basGeneral::chatHint())
        txtSend->clear();
}
