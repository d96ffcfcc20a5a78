#include "namespaceRerun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace namespaceRerun {
namespace {

const QString marker = u"KESTRION_NAMESPACE_RERUN"_s;

} // namespace

bool isRerun()
{
    return qEnvironmentVariableIsSet(marker.toLatin1().constData());
}

QString loopbackOnlySetup()
{
    return u"ip link set lo up && resolv=$(mktemp) && echo nameserver 127.0.0.1 > $resolv "
           u"&& mount --bind $resolv /etc/resolv.conf"_s;
}

QString rerun(const QStringList &namespaces, const QString &setup, int timeoutMs)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(marker, u"1"_s);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments = namespaces;
    if (::getuid() != 0)
        arguments.prepend(u"-r"_s);
    QString testCase = QString::fromUtf8(QTest::currentTestFunction());
    if (QTest::currentDataTag())
        testCase += u':' + QString::fromUtf8(QTest::currentDataTag());
    arguments << u"sh"_s << u"-c"_s << setup + u" && exec \"$@\""_s << u"sh"_s
              << QCoreApplication::applicationFilePath() << testCase;
    child.start(u"unshare"_s, arguments);
    if (!child.waitForFinished(timeoutMs))
        return u"the rerun did not finish: "_s + QString::fromLocal8Bit(child.readAll());
    if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
        return QString::fromLocal8Bit(child.readAll());
    return {};
}

} // namespace namespaceRerun
