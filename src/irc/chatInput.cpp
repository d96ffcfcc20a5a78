#include "app/basGeneral.h"
#include "app/blanks.h"
#include "app/frmMain.h"

#include <QLineEdit>

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
