#include "irc/blockRecognition.h"
#include "irc/capNegotiation.h"
#include "irc/receivedLines.h"

#include <QTest>

using namespace Qt::StringLiterals;
using namespace blockRecognition;

class tst_blockRecognition : public QObject
{
    Q_OBJECT

private slots:
    void serverNameComesFromThe020Line_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("name");
        QTest::newRow("first line")
            << u":irc.test.local 020 * :Please wait\r\n"_s << u"irc.test.local"_s;
        QTest::newRow("not first line")
            << u"NOTICE AUTH :hello\r\n:irc.b 020 * :Please wait\r\n"_s << u"irc.b"_s;
        QTest::newRow("after a partial line") << u"ait\r\n:irc.c 020 * :x"_s << u"irc.c"_s;
        QTest::newRow("no colon") << u"irc.d 020 * :x"_s << u"irc.d"_s;
        QTest::newRow("at the very start") << u" 020 * :x"_s << QString();
        QTest::newRow("at a line start") << u"a\r\n 020 * :x"_s << QString();
        QTest::newRow("colon alone") << u": 020 * :x"_s << QString();
        QTest::newRow("no 020") << u":irc.e 001 Timer :Welcome"_s << QString();
        QTest::newRow("020 for a nick") << u":irc.f 020 Timer :x"_s << QString();
        QTest::newRow("in a message") << u":a!b@c PRIVMSG Timer ::irc.g 020 * :x"_s << QString();
    }
    void serverNameComesFromThe020Line()
    {
        QFETCH(QString, block);
        QFETCH(QString, name);
        QCOMPARE(serverNameFrom020(IrcMessage::parseBlock(block)).value_or(QString()), name);
    }

    void serverNameComesFromTheWelcomeToUs_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("name");
        QTest::newRow("welcome") << u":irc.a 001 Timer :Welcome\r\n"_s << u"irc.a"_s;
        QTest::newRow("on a later line")
            << u"PING :1\r\n:irc.b 001 Timer :Welcome\r\n:irc.b 002 Timer :x"_s << u"irc.b"_s;
        QTest::newRow("the first of two")
            << u":irc.c 001 Timer :x\r\n:irc.d 001 Timer :x"_s << u"irc.c"_s;
        QTest::newRow("to a longer nick") << u":irc.e 001 Timer2 :Welcome"_s << QString();
        QTest::newRow("to another nick") << u":irc.f 001 Other :Welcome"_s << QString();
        QTest::newRow("without a source") << u"001 Timer :Welcome"_s << QString();
        QTest::newRow("inside a message")
            << u":a!b@c PRIVMSG #x :irc.g 001 Timer :x"_s << QString();
    }
    void serverNameComesFromTheWelcomeToUs()
    {
        QFETCH(QString, block);
        QFETCH(QString, name);
        QCOMPARE(
            serverNameFromWelcome(IrcMessage::parseBlock(block), u"Timer"_s).value_or(QString()),
            name);
    }

    void endOfMotdNeedsExactServerAndNick_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<bool>("matches");
        QTest::newRow("exact") << u":irc.test 376 Timer :End of MOTD command.\r\n"_s << true;
        QTest::newRow("inside a block") << u"x\r\n:irc.test 376 Timer :End\r\ny"_s << true;
        QTest::newRow("longer nick") << u":irc.test 376 Timer2 :End"_s << true;
        QTest::newRow("other case") << u":IRC.test 376 Timer :End"_s << false;
        QTest::newRow("other nick") << u":irc.test 376 Other :End"_s << false;
        QTest::newRow("shortened nick") << u":irc.test 376 Time :End"_s << false;
        QTest::newRow("double blank") << u":irc.test  376 Timer :End"_s << false;
        QTest::newRow("welcome") << u":irc.test 001 Timer :Welcome"_s << false;
        QTest::newRow("no MOTD") << u":irc.test 422 Timer :MOTD File is missing"_s << true;
        QTest::newRow("no MOTD, other nick") << u":irc.test 422 Other :MOTD missing"_s << false;
        QTest::newRow("in a message") << u":a!b@c PRIVMSG Timer ::irc.test 376 Timer :x"_s << false;
    }
    void endOfMotdNeedsExactServerAndNick()
    {
        QFETCH(QString, block);
        QFETCH(bool, matches);
        QCOMPARE(isEndOfMotd(IrcMessage::parseBlock(block), u"irc.test"_s, u"Timer"_s), matches);
    }

    void nicknameInUseIsTheNumericOrItsText_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<bool>("inUse");
        QTest::newRow("numeric") << u":irc.test 433 * Timer :Nickname is already in use.\r\n"_s
                                 << true;
        QTest::newRow("numeric, other text") << u":irc.test 433 * Timer :Nick taken\r\n"_s << true;
        QTest::newRow("numeric on a later line") << u"x\r\n:irc.test 433 * Timer :taken"_s << true;
        QTest::newRow("text alone") << u"Nickname is already in use"_s << true;
        QTest::newRow("user count") << u":irc.test 251 Timer :There are 14330 users\r\n"_s << false;
        QTest::newRow("longer numeric") << u":irc.test 4330 Timer :x"_s << false;
        QTest::newRow("no prefix") << u"433 Timer :x"_s << false;
        QTest::newRow("in a message") << u":a!b@c PRIVMSG #x :see 433 here"_s << false;
        QTest::newRow("nick named 433") << u":433!a@b JOIN #x"_s << false;
        QTest::newRow("text in a message")
            << u":a!b@c PRIVMSG Timer :Nickname is already in use"_s << false;
    }
    void nicknameInUseIsTheNumericOrItsText()
    {
        QFETCH(QString, block);
        QFETCH(bool, inUse);
        QCOMPARE(isNicknameInUse(IrcMessage::parseBlock(block)), inUse);
    }

    void nicknameHeldForAWhileIs437_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<bool>("unavailable");
        QTest::newRow("numeric")
            << u":irc.test 437 * Timer :Nick/channel is temporarily unavailable\r\n"_s << true;
        QTest::newRow("in a message") << u":a!b@c PRIVMSG Timer :x 437 y"_s << false;
        QTest::newRow("in use") << u":irc.test 433 * Timer :Nickname is already in use."_s << false;
    }
    void nicknameHeldForAWhileIs437()
    {
        QFETCH(QString, block);
        QFETCH(bool, unavailable);
        QCOMPARE(isNicknameUnavailable(IrcMessage::parseBlock(block)), unavailable);
    }

    void banGivesTheServersText_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("text");
        QTest::newRow("ban") << u"x\r\n:irc.test 465 Timer :You are banned (spam)\r\n"_s
                             << u"You are banned (spam)"_s;
        QTest::newRow("in a message") << u":a!b@c PRIVMSG Timer :465 x\r\n"_s << QString();
    }
    void banGivesTheServersText()
    {
        QFETCH(QString, block);
        QFETCH(QString, text);
        QCOMPARE(banText(IrcMessage::parseBlock(block)).value_or(QString()), text);
    }

    void pingsAreAnsweredWithTheirToken_data()
    {
        const QStringList own {u"PONG irc.test"_s, u"NAMES #chan"_s};
        QTest::addColumn<QString>("block");
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("the server's own, before the login")
            << u"PING :irc.test\r\n"_s << false << QStringList {u"PONG :irc.test"_s};
        QTest::newRow("the server's own, after it") << u"PING :irc.test\r\n"_s << true << own;
        QTest::newRow("with a source") << u":irc.test PING :irc.test\r\n"_s << true << own;
        QTest::newRow("the server's own twice: once a block")
            << u"PING :irc.test\r\nPING :irc.test\r\n"_s << true << own;
        QTest::newRow("a token that begins with the server's name")
            << u"PING :irc.test.77\r\n"_s << true << QStringList {u"PONG :irc.test.77"_s};
        QTest::newRow("other case")
            << u"PING :IRC.TEST\r\n"_s << true << QStringList {u"PONG :IRC.TEST"_s};
        QTest::newRow("a cookie") << u"PING :4127714687\r\n"_s << false
                                  << QStringList {u"PONG :4127714687"_s};
        QTest::newRow("without colon")
            << u"PING dY}be\\OF\r\n"_s << true << QStringList {u"PONG dY}be\\OF"_s};
        QTest::newRow("two") << u"PING :a\r\nx\r\nPING :b"_s << false
                             << QStringList {u"PONG :a"_s, u"PONG :b"_s};
        QTest::newRow("in a message")
            << u":a!b@c PRIVMSG #chan :PING :irc.test\r\n"_s << true << QStringList();
        QTest::newRow("in a notice") << u":a!b@c NOTICE #x :PING 1\r\n"_s << false << QStringList();
        QTest::newRow("CTCP") << u":a!b@c PRIVMSG Timer :\u0001PING 1\u0001\r\n"_s << true
                              << QStringList();
    }
    void pingsAreAnsweredWithTheirToken()
    {
        QFETCH(QString, block);
        QFETCH(bool, loggedIn);
        QFETCH(QStringList, answers);
        QCOMPARE(pingAnswers(IrcMessage::parseBlock(block), u"irc.test"_s, loggedIn, u"#chan"_s),
                 answers);
    }

    void errorLineGivesItsReason_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<QString>("reason");
        QTest::newRow("throttled") << u"ERROR :Closing Link: Timer[127.0.0.1] (Throttled)\r\n"_s
                                   << u"Closing Link: Timer[127.0.0.1] (Throttled)"_s;
        QTest::newRow("after other lines") << u"x\r\nERROR :K-lined\r\n"_s << u"K-lined"_s;
        QTest::newRow("in a message") << u":a!b@c PRIVMSG #x :ERROR :x\r\n"_s << QString();
    }
    void errorLineGivesItsReason()
    {
        QFETCH(QString, block);
        QFETCH(QString, reason);
        QCOMPARE(errorText(IrcMessage::parseBlock(block)).value_or(QString()), reason);
    }

    void ownPartIsOurSourceLeavingOurChannel_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<bool>("matches");
        QTest::newRow("with reason") << u":Timer!~tmr103@host PART #chan :bye\r\n"_s << true;
        QTest::newRow("at line end") << u":Timer!~tmr103@host PART #chan\r\n"_s << true;
        QTest::newRow("at block end") << u":Timer!~tmr103@host PART #chan"_s << true;
        QTest::newRow("later line") << u"x\r\n:Timer!u@h PART #chan :bye"_s << true;
        QTest::newRow("other nick") << u":Other!u@h PART #chan :bye"_s << false;
        QTest::newRow("longer nick") << u":Timer2!u@h PART #chan :bye"_s << false;
        QTest::newRow("longer channel") << u":Timer!u@h PART #chan2 :bye"_s << false;
        QTest::newRow("other case") << u":Timer!u@h PART #Chan :bye"_s << false;
        QTest::newRow("not at line start") << u"x :Timer!u@h PART #chan :bye"_s << false;
        QTest::newRow("in our own message") << u":Timer!u@h PRIVMSG #chan :x PART #chan"_s << false;
    }
    void ownPartIsOurSourceLeavingOurChannel()
    {
        QFETCH(QString, block);
        QFETCH(bool, matches);
        QCOMPARE(isOwnPart(IrcMessage::parseBlock(block), u"Timer"_s, u"#chan"_s), matches);
    }

    void kickMustNameUsWithAReason_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<bool>("matches");
        QTest::newRow("us") << u":op!u@h KICK #chan Timer :go\r\n"_s << true;
        QTest::newRow("other nick") << u":op!u@h KICK #chan Other :go\r\n"_s << false;
        QTest::newRow("other case") << u":op!u@h KICK #Chan Timer :go\r\n"_s << false;
        QTest::newRow("no reason") << u":op!u@h KICK #chan Timer\r\n"_s << false;
        QTest::newRow("in a message")
            << u":a!b@c PRIVMSG #chan :KICK #chan Timer :bye\r\n"_s << false;
        QTest::newRow("in a notice")
            << u":a!b@c NOTICE #chan :KICK #chan Timer :bye\r\n"_s << false;
    }
    void kickMustNameUsWithAReason()
    {
        QFETCH(QString, block);
        QFETCH(bool, matches);
        QCOMPARE(isKickOf(IrcMessage::parseBlock(block), u"#chan"_s, u"Timer"_s), matches);
    }

    void linesCutBetweenReadsAreWhole_data()
    {
        QTest::addColumn<QStringList>("reads");
        QTest::addColumn<QStringList>("blocks");
        const QString overlong(ReceivedLines::keptCharacters + 1, u'x');
        QTest::newRow("whole lines") << QStringList {u"a\r\nb\r\n"_s, u"c\r\n"_s}
                                     << QStringList {u"a\r\nb\r\n"_s, u"c\r\n"_s};
        QTest::newRow("cut in a token") << QStringList {u"x\r\nPING :4127"_s, u"714687\r\n"_s}
                                        << QStringList {u"x\r\n"_s, u"PING :4127714687\r\n"_s};
        QTest::newRow("cut between CR and LF") << QStringList {u"a\r"_s, u"\nb"_s, u"\r\n"_s}
                                               << QStringList {QString(), u"a\r\n"_s, u"b\r\n"_s};
        QTest::newRow("a line over three reads")
            << QStringList {u":irc"_s, u".test 376"_s, u" Timer :End\r\n"_s}
            << QStringList {QString(), QString(), u":irc.test 376 Timer :End\r\n"_s};
        QTest::newRow("an endless line is skipped")
            << QStringList {u"PING :1\r\n"_s + overlong, u"xx\r\nPING :2\r\n"_s}
            << QStringList {u"PING :1\r\n"_s, u"PING :2\r\n"_s};
        QTest::newRow("skipped across reads")
            << QStringList {overlong, u"PING :x"_s, u"\r\nPING :y\r\n"_s}
            << QStringList {QString(), QString(), u"PING :y\r\n"_s};
    }
    void linesCutBetweenReadsAreWhole()
    {
        QFETCH(QStringList, reads);
        QFETCH(QStringList, blocks);
        ReceivedLines lines;
        QStringList taken;
        for (const QString &read : reads)
            taken << lines.take(read);
        QCOMPARE(taken, blocks);
    }

    // The capabilities asked for, whatever the server offers and however it answers; tags
    // never hide a line's command. With an account ("timer", password "secret"), the SASL
    // exchange and what the status log says of it.
    void capabilitiesAreAskedForAndTheLoginGoesOn_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("block");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<bool>("echoes");
        QTest::addColumn<QString>("status");
        QTest::newRow("echo and time offered")
            << QString() << u":s CAP * LS :multi-prefix echo-message sasl=PLAIN server-time\r\n"_s
            << QStringList {u"CAP REQ :echo-message server-time"_s} << false << QString();
        QTest::newRow("a list in two lines")
            << QString() << u":s CAP * LS * :echo-message\r\n:s CAP * LS :away-notify\r\n"_s
            << QStringList {u"CAP REQ :echo-message"_s} << false << QString();
        QTest::newRow("nothing wanted") << QString() << u":s CAP * LS :multi-prefix\r\n"_s
                                        << QStringList {u"CAP END"_s} << false << QString();
        QTest::newRow("granted, the reply tagged")
            << QString() << u"@time=2026-12-09T13:00:00.000Z :s CAP Timer ACK :echo-message\r\n"_s
            << QStringList {u"CAP END"_s} << true << QString();
        QTest::newRow("refused") << QString() << u":s CAP Timer NAK :echo-message\r\n"_s
                                 << QStringList {u"CAP END"_s} << false << QString();
        QTest::newRow("a set refused, then asked for one by one")
            << QString()
            << u":s CAP * LS :echo-message server-time\r\n:s CAP T NAK :echo-message "
               u"server-time\r\n"
               u":s CAP T ACK :echo-message\r\n:s CAP T NAK :server-time\r\n"_s
            << QStringList {u"CAP REQ :echo-message server-time"_s, u"CAP REQ :echo-message"_s,
                            u"CAP REQ :server-time"_s, u"CAP END"_s}
            << true << QString();
        // "-": the server's time for an answer has run out.
        QTest::newRow("the list never answered")
            << QString() << u"-\r\n"_s << QStringList {u"CAP END"_s} << false
            << u"[-] サーバが20秒以内に応答しないため、機能の問い合わせ（CAP）を打ち切ってログインします"_s;
        const QString loggedIn = u":s CAP * LS :multi-prefix\r\n:s 001 Timer :Hi\r\n"_s;
        QTest::newRow("offered after the login, granted without a second CAP END")
            << QString()
            << loggedIn + u":s CAP Timer NEW :echo-message\r\n:s CAP Timer ACK :echo-message\r\n"_s
            << QStringList {u"CAP END"_s, u"CAP REQ :echo-message"_s} << true << QString();
        QTest::newRow("withdrawn after the login")
            << QString()
            << u":s CAP * LS :echo-message\r\n:s CAP Timer ACK :echo-message\r\n"
               u":s 001 Timer :Hi\r\n:s CAP Timer DEL :echo-message\r\n"_s
            << QStringList {u"CAP REQ :echo-message"_s, u"CAP END"_s} << false << QString();
        const QString granted = u":s CAP * LS :sasl=PLAIN,EXTERNAL\r\n:s CAP T ACK :sasl\r\n"_s;
        const QStringList sent {u"CAP REQ :sasl"_s, u"AUTHENTICATE PLAIN"_s,
                                u"AUTHENTICATE AHRpbWVyAHNlY3JldA=="_s};
        const QString refused = u"[x] アカウントのログインが拒まれました: "_s;
        const QString notUsed = u"に対応していないため、アカウントを使わずにログインします"_s;
        QTest::newRow("SASL, logged in")
            << u"secret"_s
            << granted + u"AUTHENTICATE :+\r\n:s 900 T T!t@h timer :In\r\n:s 903 T :OK\r\n"_s
            << sent + QStringList {u"CAP END"_s} << false
            << u"[+] アカウントtimerでログインしました"_s;
        // 1 + 5 + 1 + 293 bytes encode to exactly 400.
        QTest::newRow("SASL, pieces of 400 bytes") << QString(293, u'p')
                                                   << granted + u"AUTHENTICATE +\r\n"_s
                                                   << sent.mid(0, 2)
                + QStringList {
                    u"AUTHENTICATE "_s
                        + QString::fromLatin1(
                            (QByteArray("\0timer\0", 7) + QByteArray(293, 'p')).toBase64()),
                    u"AUTHENTICATE +"_s} << false << QString();
        QTest::newRow("SASL, wrong password")
            << u"secret"_s << granted + u"AUTHENTICATE +\r\n:s 904 T :No\r\n"_s << sent << false
            << refused + u"アカウント名かパスワードが違います"_s;
        QTest::newRow("SASL, too long")
            << u"secret"_s << granted + u"AUTHENTICATE +\r\n:s 905 T :No\r\n"_s << sent << false
            << refused + u"アカウント名かパスワードが長すぎます"_s;
        QTest::newRow("SASL, the account locked")
            << u"secret"_s << granted + u"AUTHENTICATE +\r\n:s 902 T :Locked\r\n"_s << sent << false
            << refused + u"アカウントがサービスによってロックまたは保留されています"_s;
        QTest::newRow("SASL, never answered")
            << u"secret"_s << granted + u"-\r\n"_s
            << sent.mid(0, 2) + QStringList {u"AUTHENTICATE *"_s, u"CAP END"_s} << false
            << u"[-] サーバが20秒以内に応答しないため、アカウントを使わずにログインします"_s;
        QTest::newRow("SASL refused with the set, the rest granted alone")
            << u"secret"_s
            << u":s CAP * LS :sasl echo-message\r\n:s CAP T NAK :echo-message sasl\r\n"
               u":s CAP T ACK :echo-message\r\n:s CAP T NAK :sasl\r\n"_s
            << QStringList {u"CAP REQ :echo-message sasl"_s, u"CAP REQ :echo-message"_s,
                            u"CAP REQ :sasl"_s, u"CAP END"_s}
            << true
            << u"[-] サーバがアカウントのログインを受け付けなかったため、アカウントを使わずにログインします"_s;
        QTest::newRow("SASL, a challenge aborts")
            << u"secret"_s << granted + u"AUTHENTICATE Zm9v\r\n:s 906 T :Aborted\r\n"_s
            << sent.mid(0, 2) + QStringList {u"AUTHENTICATE *"_s} << false
            << u"[x] アカウントのログインが中断されました"_s;
        QTest::newRow("SASL, only EXTERNAL offered")
            << u"secret"_s << u":s CAP * LS :sasl=EXTERNAL\r\n"_s << QStringList {u"CAP END"_s}
            << false << u"[-] サーバがアカウントのログイン（SASL PLAIN）"_s + notUsed;
        QTest::newRow("SASL, no CAP at all")
            << u"secret"_s << u":s 421 T CAP :Unknown\r\n:s 001 T :Hi\r\n"_s << QStringList()
            << false << u"[-] サーバがアカウントのログイン（SASL）"_s + notUsed;
    }
    void capabilitiesAreAskedForAndTheLoginGoesOn()
    {
        QFETCH(QString, password);
        QFETCH(QString, block);
        QFETCH(QStringList, answers);
        QFETCH(bool, echoes);
        QFETCH(QString, status);
        CapNegotiation negotiation(
            password.isEmpty() ? SaslLogin()
                               : SaslLogin(SaslLogin::Mechanism::Plain, u"timer"_s, password));
        QStringList actual;
        QStringList said;
        for (const IrcMessage &message : IrcMessage::parseBlock(block)) {
            const CapNegotiation::Answer answer
                = message.command == u"-" ? negotiation.giveUp() : negotiation.answer(message);
            actual << answer.lines;
            said << answer.status;
        }
        QCOMPARE(actual, answers);
        QCOMPARE(negotiation.isEnabled(u"echo-message"), echoes);
        QCOMPARE(said.value(0), status);
    }
};

QTEST_MAIN(tst_blockRecognition)
#include "tst_blockRecognition.moc"
