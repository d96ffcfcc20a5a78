#include "irc/socketControl.h"
#include "irc/wireEncoding.h"
#include "loopbackServer.h"
#include "platform/cp932.h"

#include <QSignalSpy>
#include <QSslSocket>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(WireEncoding)

class tst_socketControl : public QObject
{
    Q_OBJECT

private slots:
    void encodesInTheChosenEncoding_data()
    {
        QTest::addColumn<WireEncoding>("encoding");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        const auto cp932Row = [](const char *name) -> QTestData & {
            return QTest::newRow(name) << WireEncoding::Cp932;
        };
        cp932Row("ASCII") << u"PRIVMSG #x :abc"_s << QByteArray("PRIVMSG #x :abc");
        cp932Row("start mark") << u"開始＠"_s << QByteArray::fromHex("8a4a8e6e8197");
        cp932Row("wave dash") << u"～"_s << QByteArray::fromHex("8160");
        cp932Row("circled one") << u"①"_s << QByteArray::fromHex("8740");
        cp932Row("half-width kana") << u"ｶ"_s << QByteArray::fromHex("b6");
        // What Linux input methods type, sent as the look-alikes a Japanese Windows program sends.
        cp932Row("JIS wave dash") << u"テスト\u301C"_s
                                  << QByteArray::fromHex("836583588367"
                                                         "8160");
        cp932Row("double vertical line") << u"\u2016"_s << QByteArray::fromHex("8161");
        cp932Row("minus sign") << u"1\u22122"_s << QByteArray::fromHex("31817c32");
        cp932Row("cent, pound, not")
            << u"\u00A2\u00A3\u00AC"_s << QByteArray::fromHex("8191819281ca");
        cp932Row("em dash") << u"\u2014"_s << QByteArray::fromHex("815c");
        cp932Row("euro sign") << u"a€b"_s << QByteArray("a?b");
        // Windows would send a look-alike (e) unless told not to.
        cp932Row("accented letter") << u"café"_s << QByteArray("caf?");
        cp932Row("emoji") << u"x😀y"_s << QByteArray("x?y");
        cp932Row("hangul among kanji") << u"日한本"_s << QByteArray::fromHex("93fa3f967b");
        const auto jisRow = [](const char *name) -> QTestData & {
            return QTest::newRow(name) << WireEncoding::Iso2022Jp;
        };
        jisRow("JIS: ASCII") << u"PRIVMSG #x :abc\r\n"_s << QByteArray("PRIVMSG #x :abc\r\n");
        jisRow("JIS: kanji, back to ASCII at the end")
            << u"開始＠"_s << QByteArray::fromHex("1b2442332b3b4f21771b2842");
        jisRow("JIS: line ends in JIS")
            << u"あ\r\n"_s << QByteArray::fromHex("1b244224221b28420d0a");
        jisRow("JIS: wave dash typed on Linux")
            << u"テスト\u301C"_s << QByteArray::fromHex("1b244225462539254821411b2842");
        jisRow("JIS: wave dash typed on Windows")
            << u"テスト～"_s << QByteArray::fromHex("1b244225462539254821411b2842");
        jisRow("JIS: half-width katakana, voiced")
            << u"ｶﾞｷﾞ"_s << QByteArray::fromHex("1b2442252c252e1b2842");
        jisRow("JIS: voiced wa and wo, which have no code of their own")
            << u"ﾜﾞｦﾞ"_s << QByteArray::fromHex("1b2442256f212b2572212b1b2842");
        jisRow("JIS: row 13") << u"①"_s << QByteArray::fromHex("1b24422d211b2842");
        jisRow("JIS: IBM extension") << u"a髙b"_s << QByteArray("a?b");
        jisRow("JIS: emoji between kanji")
            << u"日😀本"_s << QByteArray::fromHex("1b2442467c1b28423f1b24424b5c1b2842");
        jisRow("JIS: an escape of the user's") << u"a\x1B(Ib"_s << QByteArray("a?(Ib");
        QTest::newRow("UTF-8: as typed")
            << WireEncoding::Utf8 << u"〜😀"_s << QByteArray::fromHex("e3809cf09f9880");
    }
    void encodesInTheChosenEncoding()
    {
        QFETCH(WireEncoding, encoding);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(encodeForWire(encoding, text), bytes);
    }

    void decodesTheChosenEncodingWholeAcrossReads_data()
    {
        QTest::addColumn<WireEncoding>("encoding");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        const auto jisRow = [](const char *name) -> QTestData & {
            return QTest::newRow(name) << WireEncoding::Iso2022Jp;
        };
        QTest::newRow("CP932") << WireEncoding::Cp932 << QByteArray::fromHex("8a4a8e6e8197")
                               << u"開始＠"_s;
        jisRow("JIS X 0208") << QByteArray::fromHex("1b2442242224241b2842206162") << u"あい ab"_s;
        jisRow("JIS C 6226") << QByteArray::fromHex("1b2440242224241b2842") << u"あい"_s;
        jisRow("JIS-Roman") << QByteArray("\x1b(J\\~\x1b(B\\~") << u"¥‾\\~"_s;
        jisRow("half-width katakana") << QByteArray("\x1b(I6\x1b(B") << u"ｶ"_s;
        jisRow("row 13") << QByteArray::fromHex("1b24422d211b2842") << u"①"_s;
        jisRow("mode ends with the line")
            << QByteArray::fromHex("1b244224220d0a6162") << u"あ\r\nab"_s;
        jisRow("unknown escape") << QByteArray("a\x1b(Zb") << u"a\uFFFD(Zb"_s;
        jisRow("eight-bit byte") << QByteArray("a\x8a"
                                               "b")
                                 << u"a\uFFFDb"_s;
        jisRow("half a character at the line end")
            << QByteArray::fromHex("1b2442240d0a61") << u"\uFFFD\r\na"_s;
        QTest::newRow("UTF-8") << WireEncoding::Utf8 << QByteArray::fromHex("e3809cf09f9880")
                               << u"〜😀"_s;
        QTest::newRow("UTF-8, invalid") << WireEncoding::Utf8
                                        << QByteArray("a\xff"
                                                      "b")
                                        << u"a\uFFFDb"_s;
        QTest::newRow("UTF-8, a character cut off before ASCII")
            << WireEncoding::Utf8 << QByteArray("\xe4irc") << u"\uFFFDirc"_s;
    }
    void decodesTheChosenEncodingWholeAcrossReads()
    {
        QFETCH(WireEncoding, encoding);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        WireDecoder whole;
        whole.reset(encoding);
        QCOMPARE(whole.decode(bytes), text);
        WireDecoder pieces;
        pieces.reset(encoding);
        QString joined;
        for (char byte : bytes)
            joined += pieces.decode(QByteArray(1, byte));
        QCOMPARE(joined, text);
    }

    void decodesSplitCharactersWhole()
    {
        platform::Cp932Decoder decoder;
        const QByteArray bytes = QByteArray::fromHex("8a4a8e6e8197");
        QString joined;
        for (char byte : bytes)
            joined += decoder.decode(QByteArray(1, byte));
        QCOMPARE(joined, u"開始＠"_s);
    }

    void invalidBytesBecomeReplacementCharacters()
    {
        platform::Cp932Decoder decoder;
        const QString text = decoder.decode(QByteArray("a\xff"
                                                       "b\x80",
                                                       4));
        QCOMPARE(text, u"a\uFFFDb\uFFFD"_s);
        QCOMPARE(decoder.decode(QByteArray("c")), u"c"_s);
    }

    void stateFollowsTheConnection()
    {
        LoopbackServer server;
        SocketControl socket;
        QCOMPARE(socket.State(), int(SocketControl::sckClosed));
        QSignalSpy connected(&socket, &SocketControl::ConnectEvent);
        socket.Connect(u"  127.0.0.1 "_s, u" "_s + server.portText() + u" "_s);
        QVERIFY(socket.State() == SocketControl::sckConnecting
                || socket.State() == SocketControl::sckResolvingHost);
        QVERIFY(connected.wait());
        QCOMPARE(socket.State(), int(SocketControl::sckConnected));
        // Each line leaves at once, not after the server acknowledged the one before.
        QCOMPARE(socket.findChild<QSslSocket *>()->socketOption(QAbstractSocket::LowDelayOption),
                 QVariant(1));
        socket.Close();
        QCOMPARE(socket.State(), int(SocketControl::sckClosed));
        socket.Close();
        QCOMPARE(socket.State(), int(SocketControl::sckClosed));
    }

    void ownCloseRaisesNoEvent()
    {
        LoopbackServer server;
        SocketControl socket;
        QSignalSpy closed(&socket, &SocketControl::CloseEvent);
        QSignalSpy errors(&socket, &SocketControl::Error);
        socket.Connect(u"127.0.0.1"_s, server.portText());
        QTRY_COMPARE(socket.State(), int(SocketControl::sckConnected));
        socket.Close();
        QVERIFY(server.waitForClientGone());
        QTest::qWait(50);
        QCOMPARE(closed.size(), 0);
        QCOMPARE(errors.size(), 0);
    }

    void remoteCloseIsACloseEventAfterTheLastData_data()
    {
        QTest::addColumn<bool>("reset");
        QTest::newRow("orderly close") << false;
        QTest::newRow("reset") << true;
    }
    void remoteCloseIsACloseEventAfterTheLastData()
    {
        QFETCH(bool, reset);
        LoopbackServer server;
        SocketControl socket;
        QStringList events;
        QString received;
        connect(&socket, &SocketControl::DataArrival, this, [&] {
            QString block;
            socket.GetData(block);
            received += block;
            events << u"data"_s;
        });
        connect(&socket, &SocketControl::CloseEvent, this, [&] { events << u"close"_s; });
        connect(&socket, &SocketControl::Error, this, [&] { events << u"error"_s; });
        socket.Connect(u"127.0.0.1"_s, server.portText());
        QVERIFY(server.waitForClient());
        QTRY_COMPARE(socket.State(), int(SocketControl::sckConnected));
        server.send("last words\r\n");
        QTRY_COMPARE(received, u"last words\r\n"_s);
        if (reset)
            server.resetClient();
        else
            server.closeClient();
        QTRY_VERIFY(events.contains(u"close"_s));
        QCOMPARE(events.last(), u"close"_s);
        QVERIFY(!events.contains(u"error"_s));
        QVERIFY(socket.State() != SocketControl::sckConnected);
        QVERIFY(!socket.SendData(u"PING\r\n"_s));
    }

    void unreadBytesArriveBeforeTheClose()
    {
        LoopbackServer server;
        SocketControl socket;
        QString received;
        bool closedAfterData = false;
        connect(&socket, &SocketControl::DataArrival, this, [&] {
            QString block;
            socket.GetData(block);
            received += block;
        });
        connect(&socket, &SocketControl::CloseEvent, this,
                [&] { closedAfterData = received == u"bye\r\n"_s; });
        socket.Connect(u"127.0.0.1"_s, server.portText());
        QVERIFY(server.waitForClient());
        QTRY_COMPARE(socket.State(), int(SocketControl::sckConnected));
        server.send("bye\r\n");
        server.closeClient();
        QTRY_VERIFY(closedAfterData);
    }

    void failuresArriveLaterAsErrorEvents_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");
        const QString noAddress = u"接続先のホスト名がありません"_s;
        QTest::newRow("empty host") << QString() << u"6664"_s << 11004 << noAddress;
        QTest::newRow("blank host") << u"   "_s << u"6664"_s << 11004 << noAddress;
        QTest::newRow("refused") << u"127.0.0.1"_s << u"1"_s << 10053 << u"接続が拒否されました"_s;
        QTest::newRow("bad port") << u"127.0.0.1"_s << u"http"_s << 10053
                                  << u"ポート番号が正しくありません: http"_s;
    }
    void failuresArriveLaterAsErrorEvents()
    {
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(int, number);
        QFETCH(QString, description);
        SocketControl socket;
        QSignalSpy errors(&socket, &SocketControl::Error);
        socket.Connect(host, port);
        QCOMPARE(errors.size(), 0);
        QVERIFY(errors.wait());
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors[0][0].value<qint16>(), qint16(number));
        QCOMPARE(errors[0][1].toString(), description);
    }

    void errorOfAnAbandonedAttemptIsDropped()
    {
        SocketControl socket;
        QSignalSpy errors(&socket, &SocketControl::Error);
        socket.Connect(QString(), u"6664"_s);
        socket.Close();
        QVERIFY(!errors.wait(100));
    }

    void sendingWithoutConnectionSendsNothing()
    {
        SocketControl socket;
        QVERIFY(!socket.SendData(u"NICK x\r\n"_s));
    }

    void charactersSplitAcrossReadsArriveWhole()
    {
        LoopbackServer server;
        SocketControl socket;
        QString received;
        connect(&socket, &SocketControl::DataArrival, this, [&] {
            QString block;
            socket.GetData(block);
            received += block;
        });
        socket.Connect(u"127.0.0.1"_s, server.portText());
        QVERIFY(server.waitForClient());
        QTRY_COMPARE(socket.State(), int(SocketControl::sckConnected));
        server.send(QByteArray::fromHex("8a"));
        QTest::qWait(50);
        server.send(QByteArray::fromHex("4a8e"));
        QTest::qWait(50);
        server.send(QByteArray::fromHex("6e"));
        QTRY_COMPARE(received, u"開始"_s);
    }

    void sendsTextAsItsBytes()
    {
        LoopbackServer server;
        SocketControl socket;
        socket.Connect(u"127.0.0.1"_s, server.portText());
        QVERIFY(server.waitForClient());
        QTRY_COMPARE(socket.State(), int(SocketControl::sckConnected));
        QVERIFY(socket.SendData(u"PRIVMSG #x :開始＠\r\n"_s));
        QVERIFY(server.waitForReceived("\r\n"));
        QCOMPARE(server.received(), QByteArray("PRIVMSG #x :\x8a\x4a\x8e\x6e\x81\x97\r\n"));
    }

    void theChosenEncodingAppliesToTheNextConnection()
    {
        LoopbackServer server;
        SocketControl socket;
        QString received;
        connect(&socket, &SocketControl::DataArrival, this, [&] { socket.GetData(received); });
        socket.setEncoding(WireEncoding::Iso2022Jp);
        socket.Connect(u"127.0.0.1"_s, server.portText());
        QVERIFY(server.waitForClient());
        QTRY_COMPARE(socket.State(), int(SocketControl::sckConnected));
        QVERIFY(socket.SendData(u"開始\r\n"_s));
        QVERIFY(server.waitForReceived("\r\n"));
        QCOMPARE(server.received(), QByteArray::fromHex("1b2442332b3b4f1b28420d0a"));
        server.send(QByteArray::fromHex("1b2442"));
        QTest::qWait(50);
        server.send(QByteArray::fromHex("332b"));
        QTRY_COMPARE(received, u"開"_s);
    }

    void localHostNameIsNeverEmpty() { QVERIFY(!SocketControl().LocalHostName().isEmpty()); }
};

QTEST_MAIN(tst_socketControl)
#include "tst_socketControl.moc"
