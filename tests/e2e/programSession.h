#pragma once

#include "app/frmMain.h"
#include "irc/frmConnect.h"

#include <QComboBox>
#include <QLineEdit>

// Fills in the connect dialog as a user would and presses 接続. The test server listens on a
// port of its own, which is added to the dialog's list for the occasion.
inline void connectThroughDialog(frmMain &form, const QString &port, const QString &nick,
                                 const QString &channel)
{
    frmConnect &dialog = form.connectDialog();
    dialog.cboServer->setEditText(QStringLiteral("127.0.0.1"));
    if (dialog.cboPort->findText(port) < 0)
        dialog.cboPort->addItem(port);
    dialog.cboPort->setCurrentText(port);
    dialog.txtNick->setText(nick);
    dialog.cboChannel->setEditText(channel);
    dialog.cmdConnect_Click();
}
