#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A desktop of its own (Xvfb with openbox) on which the Windows program runs under Wine, and
// a user's keyboard and mouse on it (xdotool).
class WineDesktop
{
public:
    WineDesktop() = default;
    ~WineDesktop();
    WineDesktop(const WineDesktop &) = delete;
    WineDesktop &operator=(const WineDesktop &) = delete;

    // Empty on success, else what went wrong.
    QString start();
    // The program under Wine, in a prefix of this desktop's own.
    void startProgram(const QString &program);
    bool programRunning() const { return m_program.state() == QProcess::Running; }

    // The shown window of that title, or empty; the wait also activates it.
    QString findWindow(const QString &title);
    QString waitForWindow(const QString &title, int timeoutMs);
    // The titles of every shown window, for a failure's message.
    QString shownWindowNames();
    // xdotool with these arguments; its output.
    QString xdotool(const QStringList &arguments);
    void type(const QString &text) { xdotool({QStringLiteral("type"), text}); }
    void keys(const QStringList &keys);

private:
    QProcess m_server;
    QProcess m_windowManager;
    QProcess m_program;
    QTemporaryDir m_prefix;
};
