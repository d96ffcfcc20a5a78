// The capability negotiation and the account's SASL exchange against any server: CAP lines,
// AUTHENTICATE and the numerics in any order, cut anywhere, with the server's time for an
// answer running out ("-" as a line) at any point.
// Input: one byte for the account (none, PLAIN, EXTERNAL) and whether a refusal ends the login,
// one byte for where the block is cut, then the block.

#include "fuzzCheck.h"
#include "irc/capNegotiation.h"
#include "irc/receivedLines.h"

using namespace Qt::StringLiterals;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const int mechanism = data[0] % 3;
    const auto refusal = data[0] & 4 ? CapNegotiation::Refusal::LoginWithoutAccount
                                     : CapNegotiation::Refusal::EndsLogin;
    const QString block = QString::fromUtf8(reinterpret_cast<const char *>(data) + 2,
                                            qsizetype(size) - 2);
    const qsizetype cut = block.isEmpty() ? 0 : data[1] % block.size();
    const SaslLogin sasl = mechanism == 0 ? SaslLogin()
        : mechanism == 1 ? SaslLogin(SaslLogin::Mechanism::Plain, u"timer"_s, u"secret"_s)
                         : SaslLogin(SaslLogin::Mechanism::External, u"timer"_s, QString());
    const QString payload
        = mechanism == 1 ? u"AUTHENTICATE AHRpbWVyAHNlY3JldA=="_s : u"AUTHENTICATE +"_s;

    CapNegotiation negotiation(sasl, refusal);
    ReceivedLines received;
    IrcMessages messages = IrcMessage::parseBlock(received.take(block.left(cut)));
    messages << IrcMessage::parseBlock(received.take(block.mid(cut)));
    int capLines = 0;
    int requests = 0;
    int ends = 0;
    bool mechanismSent = false;
    bool challenged = false;
    bool payloadSent = false;
    bool welcomed = false;
    bool refused = false;
    const auto check = [&](const CapNegotiation::Answer &answer) {
        for (const QString &line : answer.lines) {
            require(!line.contains(u'\r') && !line.contains(u'\n'));
            if (line == u"CAP END")
                ++ends;
            if (line.startsWith(u"CAP REQ "))
                ++requests;
            if (line == sasl.firstLine())
                mechanismSent = true;
            if (mechanism != 0 && mechanismSent && line == payload) {
                // The payload once, and only once the server has asked for it.
                require(challenged && !payloadSent);
                payloadSent = true;
            }
        }
        // A refusal that ends the login is the last thing the negotiation says.
        if (answer.accountRefused) {
            require(answer.lines.isEmpty());
            refused = true;
        }
    };
    for (const IrcMessage &message : messages) {
        if (message.command == u"-") {
            check(negotiation.giveUp());
        } else {
            capLines += message.command == u"CAP";
            welcomed = welcomed || message.isNumeric(u"001");
            challenged = challenged
                || (mechanismSent && message.command == u"AUTHENTICATE"
                    && (message.parameters.value(0, message.trailing) == u"+"));
            check(negotiation.answer(message));
        }
        if (refused)
            break;
    }
    if (negotiation.isWaiting())
        check(negotiation.giveUp());
    require(!negotiation.isWaiting());
    require(ends <= 1);
    require(ends == 1 || welcomed || refused);
    // Asked one by one at most for the three capabilities wanted, per CAP line.
    require(requests <= 1 + 3 * capLines);
    return 0;
}
