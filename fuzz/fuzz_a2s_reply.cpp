#include "FuzzInput.h"
#include "protocol/A2sProtocol.h"

using namespace rollcall::protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram = rollcall::fuzz::bytes(data, size);
    const A2sReplyClass kind = ClassifyA2sReply(datagram);
    const A2sInfo info = DecodeA2sInfo(datagram);

    ROLLCALL_FUZZ_CHECK((kind.Kind == A2sReplyKind::Challenge) == (kind.Challenge.size() == 4));
    if (kind.Kind == A2sReplyKind::Challenge) {
        ROLLCALL_FUZZ_CHECK(datagram.size() == 9);
        ROLLCALL_FUZZ_CHECK(BuildA2sPlayersRequest(kind.Challenge).endsWith(kind.Challenge));
    }
    const bool isInfo = kind.Kind == A2sReplyKind::InfoSource || kind.Kind == A2sReplyKind::InfoGoldSrc;
    if (!isInfo)
        ROLLCALL_FUZZ_CHECK(info == A2sInfo {});
    if (kind.Kind == A2sReplyKind::InfoGoldSrc)
        ROLLCALL_FUZZ_CHECK(!info.AppId && !info.Version && !info.GamePort && !info.Keywords);
    ROLLCALL_FUZZ_CHECK(info.PlayerCount.has_value() == info.MaxPlayers.has_value());
    ROLLCALL_FUZZ_CHECK(!info.AppId || *info.AppId <= 0xFFFFFF);

    qsizetype textBytes = 0;
    for (const auto *text : { &info.HostName, &info.MapName, &info.GameDirectory, &info.GameDescription,
             &info.Version, &info.Keywords })
        textBytes += text->has_value() ? (*text)->size() + 1 : 0;
    ROLLCALL_FUZZ_CHECK(textBytes <= std::max<qsizetype>(0, datagram.size() - 5));

    // The same bytes as a name: no more code units than bytes, never half a surrogate pair, and
    // a bad byte never swallows the text after it.
    const QString text = Utf8(datagram);
    ROLLCALL_FUZZ_CHECK(text.size() <= datagram.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate())
            ROLLCALL_FUZZ_CHECK(i + 1 < text.size() && text[++i].isLowSurrogate());
        else
            ROLLCALL_FUZZ_CHECK(!text[i].isLowSurrogate());
    }
    ROLLCALL_FUZZ_CHECK(Utf8(QByteArray(datagram.toByteArray() + 'A')) == text + u'A');
    return 0;
}
