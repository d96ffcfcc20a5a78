#pragma once

#include "app/frmConnect.h"
#include "app/frmMain.h"
#include "app/logView.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>

// A window's control, found by its name as a user's tools find it.
template<typename T> T *findControl(const QObject &window, const char *name)
{
    T *control = window.findChild<T *>(QString::fromLatin1(name));
    Q_ASSERT(control);
    return control;
}

// The main window's controls.
struct MainControls
{
    template<typename T> T *find(const char *name) const { return findControl<T>(form, name); }

    const frmMain &form;
    QPushButton *cmdCount = find<QPushButton>("cmdCount");
    QComboBox *cboMinutes = find<QComboBox>("cboMinutes");
    QLabel *lblTimeLimit = find<QLabel>("lblTimeLimit");
    QLineEdit *txtSend = find<QLineEdit>("txtSend");
    LogView *txtStatus = find<LogView>("txtStatus");
    QPushButton *cmdClearLog = find<QPushButton>("cmdClearLog");
    QMenu *mnuServer = find<QMenu>("mnuServer");
    QAction *mnuConnect = find<QAction>("mnuConnect");
    QAction *mnuDisconnect = find<QAction>("mnuDisconnect");
    QAction *mnuServerLog = find<QAction>("mnuServerLog");
    QAction *mnuQuit = find<QAction>("mnuQuit");
    QMenu *mnuSetting = find<QMenu>("mnuSetting");
    QAction *mnuAlwaysOnTop = find<QAction>("mnuAlwaysOnTop");
    QAction *mnuRestTime = find<QAction>("mnuRestTime");
    QAction *mnuStatus = find<QAction>("mnuStatus");
};

inline MainControls controls(const frmMain &form)
{
    return MainControls {form};
}

// The connect dialog's controls that the tests set and read.
struct ConnectControls
{
    template<typename T> T *find(const char *name) const { return findControl<T>(dialog, name); }

    const frmConnect &dialog;
    QComboBox *cboServer = find<QComboBox>("cboServer");
    QComboBox *cboPort = find<QComboBox>("cboPort");
    QLineEdit *txtNick = find<QLineEdit>("txtNick");
    QComboBox *cboChannel = find<QComboBox>("cboChannel");
    QComboBox *cboEncoding = find<QComboBox>("cboEncoding");
    QCheckBox *chkTls = find<QCheckBox>("chkTls");
    QLineEdit *txtAccount = find<QLineEdit>("txtAccount");
    QLineEdit *txtPassword = find<QLineEdit>("txtPassword");
    QLineEdit *txtCertificate = find<QLineEdit>("txtCertificate");
    QPushButton *cmdCancel = find<QPushButton>("cmdCancel");
    QPushButton *cmdConnect = find<QPushButton>("cmdConnect");
};

inline ConnectControls connectControls(const frmConnect &dialog)
{
    return ConnectControls {dialog};
}

// The status log's entries with their time stamps taken off, in order. The box's first line
// is always the empty one before the first entry.
inline QStringList statusEntries(const frmMain &form)
{
    static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d"));
    QStringList lines = controls(form).txtStatus->logText().split(QLatin1Char('\n'));
    lines.removeFirst();
    for (QString &line : lines)
        line.remove(stamp);
    return lines;
}
