// Received blocks before and after login: arbitrary bytes through the CP932 decoder, with
// arbitrary server, nickname and channel texts.
// Input: server LF nick LF channel LF block bytes.

#include "fuzzCheck.h"
#include "irc/blockRecognition.h"
#include "irc/receivedLines.h"
#include "platform/cp932.h"

#include <QByteArrayList>

using namespace Qt::StringLiterals;
using namespace blockRecognition;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<QByteArray> parts = input.split('\n');
    while (parts.size() < 4)
        parts << QByteArray();
    const QString server = QString::fromUtf8(parts[0]);
    const QString nick = QString::fromUtf8(parts[1]);
    const QString channel = QString::fromUtf8(parts[2]);
    platform::Cp932Decoder decoder;
    const QString block
        = decoder.decode(input.mid(parts[0].size() + parts[1].size() + parts[2].size() + 3));
    const IrcMessages messages = IrcMessage::parseBlock(block);

    if (const std::optional<QString> name = serverNameFrom020(messages)) {
        // One line's prefix: never empty, never across a line break, never with the numeric.
        require(!name->isEmpty());
        require(!name->contains(u'\n'));
        require(holds020(messages));
        require(block.contains(*name + u" 020 * :"_s));
    }
    if (isEndOfMotd(messages, server, nick))
        require(block.contains(u" 376 "_s) || block.contains(u" 422 "_s));
    if (isNicknameInUse(messages))
        require(block.contains(u" 433 "_s) || block.contains(u"Nickname is already in use"_s));
    if (isOwnPart(messages, nick, channel))
        require(block.contains(u" PART "_s + channel));
    // Cut anywhere, the lines come out whole and in order.
    if (block.size() <= ReceivedLines::keptCharacters) {
        ReceivedLines lines;
        const qsizetype cut = block.size() / 2;
        const QString joined = lines.take(block.left(cut)) + lines.take(block.mid(cut));
        require(joined == block.left(block.lastIndexOf(u'\n') + 1));
    }
    (void)isNicknameUnavailable(messages);
    (void)banText(messages);
    // Only that they neither crash nor read out of bounds.
    (void)pingAnswers(messages, server, true, channel);
    (void)isKickOf(messages, channel, nick);
    return 0;
}
