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
    explicit MainControls(const frmMain &form)
        : cmdCount(find<QPushButton>(form, "cmdCount"))
        , cboMinutes(find<QComboBox>(form, "cboMinutes"))
        , lblTimeLimit(find<QLabel>(form, "lblTimeLimit"))
        , txtSend(find<QLineEdit>(form, "txtSend"))
        , txtStatus(find<LogView>(form, "txtStatus"))
        , cmdClearLog(find<QPushButton>(form, "cmdClearLog"))
        , mnuServer(find<QMenu>(form, "mnuServer"))
        , mnuConnect(find<QAction>(form, "mnuConnect"))
        , mnuDisconnect(find<QAction>(form, "mnuDisconnect"))
        , mnuServerLog(find<QAction>(form, "mnuServerLog"))
        , mnuQuit(find<QAction>(form, "mnuQuit"))
        , mnuSetting(find<QMenu>(form, "mnuSetting"))
        , mnuAlwaysOnTop(find<QAction>(form, "mnuAlwaysOnTop"))
        , mnuRestTime(find<QAction>(form, "mnuRestTime"))
        , mnuStatus(find<QAction>(form, "mnuStatus"))
    {
    }

    QPushButton *cmdCount;
    QComboBox *cboMinutes;
    QLabel *lblTimeLimit;
    QLineEdit *txtSend;
    LogView *txtStatus;
    QPushButton *cmdClearLog;
    QMenu *mnuServer;
    QAction *mnuConnect;
    QAction *mnuDisconnect;
    QAction *mnuServerLog;
    QAction *mnuQuit;
    QMenu *mnuSetting;
    QAction *mnuAlwaysOnTop;
    QAction *mnuRestTime;
    QAction *mnuStatus;

private:
    template<typename T> static T *find(const frmMain &form, const char *name)
    {
        T *control = form.findChild<T *>(QString::fromLatin1(name));
        Q_ASSERT(control);
        return control;
    }
};

inline MainControls controls(const frmMain &form)
{
    return MainControls(form);
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
