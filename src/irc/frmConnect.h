#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Where the user picks host, port, nickname and channel for the next connection. Each closing
// unloads it, so the next opening starts from the presets again; only a nickname suggestion
// written while it is held hidden survives until it is shown, and the encoding, port, TLS and
// password of the last connect are shown again.
class frmConnect : public QDialog
{
    Q_OBJECT
public:
    frmConnect();

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
    QLabel *lblPassword;
    QLineEdit *txtPassword;
    QPushButton *cmdCancel;
    QPushButton *cmdConnect;

    void Form_Load();
    void cboServer_LostFocus();
    void txtNick_LostFocus();
    void cboChannel_LostFocus();
    void cboPort_LostFocus();
    void chkTls_Click();
    void cmdConnect_Click();
    void cmdCancel_Click();
    void Unload();

signals:
    void unloaded();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_unloaded = false;
};
