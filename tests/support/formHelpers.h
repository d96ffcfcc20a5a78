#pragma once

#include "app/frmMain.h"
#include "app/logView.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>

// The main window's controls, found by their names as a user's tools find them.
struct MainControls
{
    template <typename T> T *find(const char *name) const
    {
        T *control = form.findChild<T *>(QString::fromLatin1(name));
        Q_ASSERT(control);
        return control;
    }

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
