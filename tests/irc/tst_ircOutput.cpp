#include "irc/ircSession.h"
#include "irc/socketControl.h"
#include "irc/wireEncoding.h"
#include "serverSession.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_ircOutput : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        connected = std::make_unique<ServerSession>(ServerSession::Window::Without, u"#x"_s);
        QVERIFY(connected->connect());
        QVERIFY(connected->logIn());
        sentBefore = connected->server->received().size();
    }
    void cleanup() { connected.reset(); }

    void linesReachTheWireWithTheirShapes_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("notice") << 0 << u"abc"_s << QByteArray("NOTICE #x :abc\r\n");
        QTest::newRow("message") << 1 << u"abc"_s << QByteArray("PRIVMSG #x :abc\r\n");
        QTest::newRow("chat text") << 2 << u"abc"_s << QByteArray("PRIVMSG #x :abc\r\n");
        QTest::newRow("line") << 3 << u"QUIT"_s << QByteArray("QUIT\r\n");
        QTest::newRow("Japanese") << 1 << u"開始＠"_s
                                  << QByteArray("PRIVMSG #x :\x8a\x4a\x8e\x6e\x81\x97\r\n");
        QTest::newRow("CR LF inside")
            << 1 << u"a\r\nQUIT"_s << QByteArray("PRIVMSG #x :a  QUIT\r\n");
        QTest::newRow("NUL inside") << 3 << u"NICK a\u0000b"_s << QByteArray("NICK a b\r\n");
        QTest::newRow("lone LF") << 3 << u"NICK a\nb"_s << QByteArray("NICK a b\r\n");
    }
    void linesReachTheWireWithTheirShapes()
    {
        QFETCH(int, command);
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        ChannelPacer &pacer = connected->pacer();
        switch (command) {
        case 0:
            pacer.SendNotice(text);
            break;
        case 1:
            pacer.SendPrivmsg(text);
            break;
        case 2:
            pacer.SendChatText(text);
            break;
        default:
            connected->session().SendLine(text);
        }
        QVERIFY(connected->server->waitForReceived(wire));
        QCOMPARE(sentSinceInit(), wire);
    }

    void channelWithLineBreakCannotAddACommand()
    {
        ServerSession session(ServerSession::Window::Without, u"#x\nQUIT"_s);
        QVERIFY(session.connect());
        QCOMPARE(session.answerTo(ServerSession::greeting + ServerSession::endOfMotd),
                 (QList<QByteArray> {"JOIN #x QUIT", "MODE #x QUIT +sn"}));
    }

    void longChatTextIsOneLine()
    {
        const QString text(600, u'a');
        connected->pacer().SendPrivmsg(text);
        QVERIFY(connected->server->waitForReceived("\r\n"));
        QCOMPARE(sentSinceInit(), "PRIVMSG #x :" + QByteArray(600, 'a') + "\r\n");
    }

    // A server cuts a line at 512 bytes with our prefix before it, which it shows in our JOIN;
    // until then the longest user and host are assumed.
    void longChatTextIsSplitBetweenCharacters_data()
    {
        QTest::addColumn<WireEncoding>("encoding");
        QTest::addColumn<QByteArray>("join");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QList<int>>("pieceBytes");
        const QByteArray join = ":Timer!~timer@127.0.0.1 JOIN #x\r\n";
        const QString text = u"a"_s + QString(300, u'あ');
        QTest::newRow("CP932") << WireEncoding::Cp932 << join << text << QList<int> {473, 128};
        QTest::newRow("CP932 before our JOIN")
            << WireEncoding::Cp932 << QByteArray() << text << QList<int> {415, 186};
        QTest::newRow("ISO-2022-JP")
            << WireEncoding::Iso2022Jp << join << text << QList<int> {473, 140};
        QTest::newRow("UTF-8") << WireEncoding::Utf8 << join << text.left(201)
                               << QList<int> {472, 129};
    }
    void longChatTextIsSplitBetweenCharacters()
    {
        QFETCH(WireEncoding, encoding);
        QFETCH(QByteArray, join);
        QFETCH(QString, text);
        QFETCH(QList<int>, pieceBytes);
        ServerSession session(ServerSession::Window::Without, u"#x"_s);
        session.encoding = encoding;
        QVERIFY(session.connect());
        QVERIFY(session.logIn());
        if (!join.isEmpty())
            QVERIFY(session.sendHandled(join));
        session.pacer().SendChatText(text);
        QVERIFY(session.waitForSent(pieceBytes.size()));
        const QByteArray head = "PRIVMSG #x :";
        QString received;
        WireDecoder decoder;
        decoder.reset(encoding);
        QList<int> sizes;
        for (const QByteArray &line : session.sentSinceMark()) {
            QVERIFY(line.startsWith(head));
            sizes << int(line.size() - head.size());
            received += decoder.decode(line.mid(head.size()));
        }
        QCOMPARE(sizes, pieceBytes);
        QCOMPARE(received, text);
    }

    // Offline, or past its moment after the machine froze or slept: logged, never sent.
    void unsendableLinesAreLogged_data()
    {
        QTest::addColumn<bool>("offline");
        QTest::addColumn<QString>("logged");
        QTest::newRow("offline") << true << u"[-] 未接続のため送信できません: PRIVMSG #x :abc"_s;
        QTest::newRow("stale") << false << u"[-] 時刻を過ぎたため送信しません: PRIVMSG #x :abc"_s;
    }
    void unsendableLinesAreLogged()
    {
        QFETCH(bool, offline);
        QFETCH(QString, logged);
        if (offline)
            connected->session().socket()->Close();
        connected->pacer().SendPrivmsg(u"abc"_s, !offline);
        QCOMPARE(connected->statusLines.constLast(), logged);
        if (offline)
            QVERIFY(connected->server->waitForClientGone());
        QCOMPARE(connected->answerTo(QList<QByteArray>()), QList<QByteArray>());
    }

private:
    QByteArray sentSinceInit() { return connected->server->received().mid(sentBefore); }

    std::unique_ptr<ServerSession> connected;
    qsizetype sentBefore = 0;
};

QTEST_MAIN(tst_ircOutput)
#include "tst_ircOutput.moc"
