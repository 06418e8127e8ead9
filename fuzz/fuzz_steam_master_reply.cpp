#include "FuzzInput.h"
#include "protocol/SteamMasterProtocol.h"

using namespace rollcall::protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView datagram = rollcall::fuzz::bytes(data, size);
    const SteamMasterReply reply = ParseSteamMasterReply(datagram);

    const qsizetype room = std::max<qsizetype>(0, datagram.size() - 6) / 6;
    if (reply.Status == SteamMasterReplyStatus::BadHeader)
        ROLLCALL_FUZZ_CHECK(reply.Entries.isEmpty() && !reply.Ended && !reply.Last);
    if (reply.Status == SteamMasterReplyStatus::Ok)
        ROLLCALL_FUZZ_CHECK((datagram.size() - 6) % 6 == 0);
    ROLLCALL_FUZZ_CHECK(reply.Entries.size() + (reply.Ended ? 1 : 0) <= room);
    ROLLCALL_FUZZ_CHECK(reply.Last.has_value() == !reply.Entries.isEmpty());
    for (const ServerEntry &entry : reply.Entries) {
        ROLLCALL_FUZZ_CHECK(entry.Port >= 0 && entry.Port <= 65535);
        ROLLCALL_FUZZ_CHECK(entry.Address.count(u'.') == 3);
        ROLLCALL_FUZZ_CHECK(entry.Address != QLatin1StringView("0.0.0.0") || entry.Port != 0);
    }

    // The next request, whatever the bytes: exactly two field ends after the region byte.
    const quint8 region = datagram.isEmpty() ? 255 : quint8(datagram[0]);
    const QByteArray request
        = BuildSteamMasterRequest(region, reply.Last.value_or(FirstSteamSeed()), datagram);
    ROLLCALL_FUZZ_CHECK(request.size() >= 4 && request[0] == '\x31' && quint8(request[1]) == region);
    ROLLCALL_FUZZ_CHECK(request.sliced(2).count('\0') == 2 && request.endsWith('\0'));

    // The same bytes as the user's text: never a key of its own, never a field end.
    const QString text = QString::fromUtf8(datagram);
    (void)ParseSteamRegion(text);
    const qsizetype half = text.size() / 2;
    for (const QByteArray &filter : SteamMasterFilters(text.left(half), text.sliced(half))) {
        ROLLCALL_FUZZ_CHECK(filter.startsWith("\\appid\\") && filter.endsWith("\\empty\\1"));
        ROLLCALL_FUZZ_CHECK(!filter.contains('\0'));
        ROLLCALL_FUZZ_CHECK(filter.count('\\') <= 8);
    }
    return 0;
}
