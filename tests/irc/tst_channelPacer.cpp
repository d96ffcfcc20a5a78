#include "irc/channelPacer.h"
#include "serverSession.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The end of a countdown, whose arrival the status log reports.
const ScheduledLines countdownEnd {{ScheduledLine::Kind::Privmsg, u"0＠"_s},
                                   {ScheduledLine::Kind::Privmsg, u"開始！＠"_s, 0, true}};

QByteArray stampedNow(qint64 clockLeadMs)
{
    return "@time="
        + QDateTime::currentDateTimeUtc()
              .addMSecs(clockLeadMs)
              .toString(Qt::ISODateWithMs)
              .toLatin1()
        + ' ';
}

} // namespace

// What the status log may claim of a line's arrival, whatever clock or bouncer stands between.
class tst_channelPacer : public QObject
{
    Q_OBJECT

private slots:
    void arrivalIsReportedOnlyAsFarAsItIsKnown_data()
    {
        QTest::addColumn<QByteArray>("offered");
        // The stamps' clock against ours; none: the server echoes nothing.
        QTest::addColumn<std::optional<int>>("clockLeadMs");
        QTest::addColumn<int>("heldMs");
        QTest::addColumn<QByteArray>("afterTheLines");
        QTest::addColumn<QString>("report");
        const QByteArray echoAndTime = "echo-message server-time";
        const QString onTime
            = u"^\\[t\\] 開始！＠ はチャンネルに予定どおり届きました（\\+0\\.0\\d秒）$"_s;
        QTest::newRow("a server clock 3 s ahead")
            << echoAndTime << std::optional(3000) << 0 << QByteArray() << onTime;
        QTest::newRow("a server clock 3 s behind")
            << echoAndTime << std::optional(-3000) << 0 << QByteArray() << onTime;
        QTest::newRow("held 0.7 s, the clock 3 s ahead")
            << echoAndTime << std::optional(3000) << 700 << QByteArray()
            << u"^\\[-\\] 開始！＠ はサーバに0\\.[78]秒留め置かれてから届きました$"_s;
        const QString bound
            = u"^\\[t\\] 開始！＠ は遅くとも\\+0\\.\\d\\d秒までにチャンネルに届きました$"_s;
        QTest::newRow("no echoes: a PING with the lines")
            << QByteArray("multi-prefix") << std::optional<int>() << 0 << QByteArray() << bound;
        QTest::newRow("echoes withdrawn before the lines")
            << echoAndTime << std::optional<int>() << 0 << QByteArray() << bound;
        QTest::newRow("echoes withdrawn while the end awaits its own")
            << echoAndTime << std::optional<int>() << 0
            << QByteArray(":s CAP Timer DEL :echo-message\r\n") << bound;
        QTest::newRow("a bouncer")
            << "znc.in/self-message " + echoAndTime << std::optional(0) << 0 << QByteArray()
            << u"^\\[i\\] 開始！＠ がチャンネルに届いた時刻は、"
               u"バウンサを経由しているため分かりません$"_s;
    }
    void arrivalIsReportedOnlyAsFarAsItIsKnown()
    {
        QFETCH(QByteArray, offered);
        QFETCH(std::optional<int>, clockLeadMs);
        QFETCH(int, heldMs);
        QFETCH(QByteArray, afterTheLines);
        QFETCH(QString, report);
        ServerSession session(ServerSession::Window::Without);
        QVERIFY(session.connect());
        const QList<QByteArray> request = session.answerTo(":s CAP * LS :" + offered + "\r\n");
        if (request.value(0).startsWith("CAP REQ :"))
            session.server->send(":s CAP Timer ACK :" + request.value(0).mid(9) + "\r\n");
        QVERIFY(session.logIn());
        const bool withdrawnFirst = QByteArray(QTest::currentDataTag()).contains("before");
        if (withdrawnFirst)
            QVERIFY(session.sendHandled(":s CAP Timer DEL :echo-message\r\n"));

        session.pacer().sendRunLines(countdownEnd, false);
        QVERIFY(session.waitForSent(2));
        const QList<QByteArray> lines = session.sentSinceMark();
        QCOMPARE(lines.mid(0, 2),
                 (QList<QByteArray> {"PRIVMSG #chan :0\x81\x97",
                                     "PRIVMSG #chan :\x8a\x4a\x8e\x6e\x81\x49\x81\x97"}));
        if (clockLeadMs && !withdrawnFirst) {
            for (const QByteArray &line : lines.mid(0, 2)) {
                if (line.endsWith("\x81\x49\x81\x97"))
                    QTest::qWait(heldMs);
                // Stamped as the server relays it, and echoed at once.
                session.server->send(stampedNow(*clockLeadMs) + ":Timer!t@h " + line + "\r\n");
            }
        }
        if (!afterTheLines.isEmpty())
            session.server->send(":Timer!t@h " + lines.value(0) + "\r\n" + afterTheLines);
        // The PING that asks for the arrival, if any, went with the lines or after the withdrawal.
        if (QTest::qWaitFor([&] { return session.server->received().contains("PING :kestrion-1"); },
                            report.contains(u"遅くとも"_s) ? 5000 : 300))
            session.server->send(":s PONG s :kestrion-1\r\n");
        const QRegularExpression expected(report);
        QVERIFY2(QTest::qWaitFor([&] { return !session.statusLines.filter(expected).isEmpty(); }),
                 qPrintable(session.statusLines.join(u'\n')));
        QCOMPARE(session.server->received().contains("PING :kestrion-1"),
                 report.contains(u"遅くとも"_s));
    }
};

QTEST_MAIN(tst_channelPacer)
#include "tst_channelPacer.moc"
