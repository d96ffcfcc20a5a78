#include "capNegotiation.h"

using namespace Qt::StringLiterals;

namespace {

// Each line's arrival in the channel, stamped by the server where it can.
const QStringList wanted {u"echo-message"_s, u"server-time"_s};

// The names in a capability list, without 302's values ("sasl=PLAIN") or ACK's modifiers.
QStringList namesIn(const QString &list)
{
    QStringList names;
    for (const QString &entry : list.split(u' ', Qt::SkipEmptyParts)) {
        const QString name = entry.section(u'=', 0, 0);
        names << (name.startsWith(u'-') || name.startsWith(u'~') ? name.mid(1) : name);
    }
    return names;
}

} // namespace

QStringList CapNegotiation::answer(const IrcMessage &message)
{
    if (message.command != u"CAP")
        return {};
    const QString subcommand = message.parameters.value(1);
    if (subcommand == u"LS") {
        m_offered << namesIn(message.trailing);
        // A list of many lines marks every line but the last with "*".
        if (message.parameters.value(2) == u"*")
            return {};
        QStringList request;
        for (const QString &capability : wanted) {
            if (m_offered.contains(capability))
                request << capability;
        }
        if (request.isEmpty())
            return {u"CAP END"_s};
        return {u"CAP REQ :"_s + request.join(u' ')};
    }
    if (subcommand == u"ACK") {
        m_enabled << namesIn(message.trailing);
        return {u"CAP END"_s};
    }
    if (subcommand == u"NAK")
        return {u"CAP END"_s};
    return {};
}
