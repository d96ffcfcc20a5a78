#pragma once

#include "irc/connectionChoice.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Where the user picks host, port, nickname and channel for the next connection, handed on by
// connectChosen. Each closing unloads it, so the next opening starts from the presets again;
// only a nickname suggestion written while it is held hidden survives until it is shown, and
// the encoding, port, TLS, account and password of the last connect are shown again.
class frmConnect : public QDialog
{
    Q_OBJECT
public:
    frmConnect();

    // last: the choice of the last connect, of which port, encoding, TLS and password show.
    void Form_Load(const ConnectionChoice &last);
    // The nickname the next opening shows, after the server refused the one chosen.
    void suggestNickname(const QString &nick);
    void cboServer_LostFocus();
    void txtNick_LostFocus();
    void cboChannel_LostFocus();
    void cboPort_LostFocus();
    void chkTls_Click();
    void cmdCertificate_Click();
    void cmdConnect_Click();
    void cmdCancel_Click();
    void Unload();

signals:
    void connectChosen(const ConnectionChoice &choice);
    void unloaded();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *lblServer;
    QComboBox *cboServer;
    QLabel *lblPort;
    QComboBox *cboPort;
    QLabel *lblNick;
    QLineEdit *txtNick;
    QLabel *lblChannel;
    QComboBox *cboChannel;
    QLabel *lblEncoding;
    QComboBox *cboEncoding;
    QCheckBox *chkTls;
    QLabel *lblAccount;
    QLineEdit *txtAccount;
    QLabel *lblPassword;
    QLineEdit *txtPassword;
    QLabel *lblCertificate;
    QLineEdit *txtCertificate;
    QPushButton *cmdCertificate;
    QPushButton *cmdCancel;
    QPushButton *cmdConnect;

    void FillServerList();
    void FillPortList(const QString &lastPort);
    void FillChannelList();
    // Whether the account may go with the connection: a certificate needs TLS, and a password
    // in plain text only goes once the user has agreed.
    bool accountMayGo();

    bool m_unloaded = false;
};
