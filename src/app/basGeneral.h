#pragma once

#include "platform/runClock.h"

#include <QtGlobal>

class QString;
class QTime;
class frmMain;

// The procedures the windows share. They act on the one main window.
namespace basGeneral {

frmMain &mainForm();
void setMainForm(frmMain *form);

// Window switches
void SetMenusOffline();
void SetMenusOnline();
// start: the reading of the run's clock taken just before the run's first line went out.
void StartTickTimer(platform::RunClock::time_point start);
void StopTickTimer();

// Logs
void AddStatusLog(const QString &text);
void AddServerLog(const QString &data);
QString logTimeStamp(const QTime &time);

// IRC output and chat input
void SendLine(const QString &line);
// PASS with the server password, which no log may show.
void SendPassword(const QString &password);
void JoinChannel();
void SendPrivmsg(const QString &text);
void SendNotice(const QString &text);
void SendChatText(const QString &text);
void EnableChatInput();
QString chatHint();

// Connect dialog presets
void FillServerList();
void FillPortList();
void FillChannelList();

// Minutes selector
void FillMinutesList();
void EnableMinutes();
void DisableMinutes();

// Countdown and measurement
QString FormatMinSec(qint16 seconds);

} // namespace basGeneral
