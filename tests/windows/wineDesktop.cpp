#include "wineDesktop.h"

#include <QTest>

using namespace Qt::StringLiterals;

WineDesktop::~WineDesktop()
{
    for (QProcess *process : {&m_program, &m_windowManager, &m_server}) {
        process->kill();
        process->waitForFinished(5000);
    }
    // The prefix's server would otherwise outlive the test.
    QProcess::execute(u"env"_s,
                      {u"WINEPREFIX="_s + m_prefix.path(), u"/usr/lib/wine/wineserver"_s, u"-k"_s});
}

QString WineDesktop::start()
{
    // Xvfb writes the number of a free display once it takes clients.
    m_server.start(u"Xvfb"_s,
                   {u"-displayfd"_s, u"1"_s, u"-screen"_s, u"0"_s, u"1280x1024x24"_s,
                    u"-nolisten"_s, u"tcp"_s});
    if (!m_server.waitForStarted() || !m_server.waitForReadyRead(30000))
        return u"Xvfb did not start"_s;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DISPLAY"_s,
                       u":"_s + QString::fromLatin1(m_server.readAllStandardOutput().trimmed()));
    m_windowManager.setProcessEnvironment(environment);
    m_program.setProcessEnvironment(environment);
    // Openbox has at times not come up on a busy machine: it is started again, and a failure
    // says what it printed.
    m_windowManager.setProcessChannelMode(QProcess::MergedChannels);
    QByteArray said;
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_windowManager.start(u"openbox"_s, {});
        const bool managed = QTest::qWaitFor(
            [this] {
                QProcess probe;
                probe.setProcessEnvironment(m_windowManager.processEnvironment());
                probe.start(u"xprop"_s, {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s});
                probe.waitForFinished();
                return probe.readAllStandardOutput().contains("window id");
            },
            20000);
        if (managed)
            return {};
        m_windowManager.kill();
        m_windowManager.waitForFinished(5000);
        said += m_windowManager.readAll();
        qWarning().noquote() << "openbox did not come up; it said:" << said;
    }
    return u"openbox did not start: "_s + QString::fromLocal8Bit(said);
}

void WineDesktop::startProgram(const QString &program)
{
    QProcessEnvironment environment = m_program.processEnvironment();
    environment.insert(u"WINEPREFIX"_s, m_prefix.path());
    m_program.setProcessEnvironment(environment);
    m_program.setProcessChannelMode(QProcess::ForwardedChannels);
    m_program.start(QStringLiteral(KESTRION_WINE), {QStringLiteral(KESTRION_WINDOWS_QT), program});
}

QString WineDesktop::xdotool(const QStringList &arguments)
{
    QProcess process;
    process.setProcessEnvironment(m_windowManager.processEnvironment());
    process.start(u"xdotool"_s, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString WineDesktop::findWindow(const QString &title)
{
    return xdotool({u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^"_s + title + u"$"_s})
        .section(u'\n', 0, 0);
}

QString WineDesktop::waitForWindow(const QString &title, int timeoutMs)
{
    QString window;
    (void)QTest::qWaitFor([&] { return !(window = findWindow(title)).isEmpty(); }, timeoutMs);
    if (!window.isEmpty())
        xdotool({u"windowactivate"_s, u"--sync"_s, window});
    return window;
}

QString WineDesktop::shownWindowNames()
{
    return xdotool(
               {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"."_s, u"getwindowname"_s, u"%@"_s})
        .replace(u'\n', u", "_s);
}

void WineDesktop::keys(const QStringList &keys)
{
    xdotool(QStringList {u"key"_s} + keys);
}
