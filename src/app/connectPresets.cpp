#include "connectPresets.h"

using namespace Qt::StringLiterals;

namespace connectPresets {

QStringList serverHosts()
{
    return {u"irc.ircnet.ne.jp"_s,     u"irc.media.kyoto-u.ac.jp"_s, u"irc.huie.hokudai.ac.jp"_s,
            u"irc.tokyo.wide.ad.jp"_s, u"irc.fujisawa.wide.ad.jp"_s, u"irc.nara.wide.ad.jp"_s,
            u"open.ircnet.net"_s,      u"irc.ircnet.com"_s,          u"localhost"_s};
}

QString defaultHost()
{
    return serverHosts().constFirst();
}

QStringList ports()
{
    QStringList list;
    for (int port = 6660; port <= 6669; ++port)
        list << QString::number(port);
    return list << defaultTlsPort();
}

QString defaultPort()
{
    return u"6664"_s;
}

QString defaultTlsPort()
{
    return u"6697"_s;
}

bool isPlainTextPreset(const QString &port)
{
    return port != defaultTlsPort() && ports().contains(port);
}

int adjacentPortIndex(const QString &shown, int step)
{
    const QStringList list = ports();
    const int at = list.indexOf(shown);
    if (at >= 0) {
        const int next = at + step;
        return next >= 0 && next < list.size() ? next : -1;
    }
    const int port = shown.toInt();
    int found = -1;
    for (int i = 0; i < list.size(); ++i) {
        const int preset = list[i].toInt();
        if (step > 0 && preset > port)
            return i;
        if (step < 0 && preset < port)
            found = i;
    }
    return found;
}

QStringList channels()
{
    return {u"#Durmast_Velmor"_s, u"#Ulmet_Velmor"_s, u"#Ekran_Velmor"_s, u"#Prenn_Velmor"_s,
            u"#Durmast_Test"_s};
}

QString defaultChannel()
{
    return channels().constFirst();
}

QString initialNick()
{
    return u"Timer"_s;
}

QString fallbackNick()
{
    return u"Ruvu"_s;
}

} // namespace connectPresets
