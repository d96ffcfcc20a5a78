// Channel normalisation: exactly one leading "#", no other, and nothing else changed.

#include "fuzzCheck.h"
#include "irc/channelName.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString typed = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString channel = normaliseChannel(typed);
    require(channel.startsWith(QLatin1Char('#')));
    require(channel.count(QLatin1Char('#')) == 1);
    QString withoutHashes = typed;
    withoutHashes.remove(QLatin1Char('#'));
    require(channel.mid(1) == withoutHashes);
    require(normaliseChannel(channel) == channel);
    return 0;
}
