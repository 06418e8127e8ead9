#include "FuzzInput.h"
#include "protocol/MasterProtocol.h"
#include "protocol/ServerAddressRules.h"
#include "search/ServerList.h"

#include <QSet>

using namespace rollcall::protocol;
using namespace rollcall::search;

// A whole master exchange as the client keeps it. The first byte is the user's cap (0: off);
// then a run of datagrams, each a 2-byte little-endian length and that many bytes (fewer at the
// end). Every good page goes into one list until the list ends, as MasterClient does.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArrayView input = rollcall::fuzz::bytes(data, size);
    if (input.isEmpty())
        return 0;
    const int cap = quint8(input[0]);
    input = input.sliced(1);
    ServerList list(cap > 0 ? std::optional<qint32>(cap) : std::nullopt);
    ListEnd end = ListEnd::Open;
    while (input.size() >= 2 && end == ListEnd::Open) {
        const qsizetype length
            = std::min<qsizetype>(quint8(input[0]) | quint8(input[1]) << 8, input.size() - 2);
        const MasterReply reply = ParseMasterReply(input.sliced(2, length));
        input = input.sliced(2 + length);
        if (reply.Status != MasterReplyStatus::Ok)
            continue;
        const qsizetype before = list.size();
        end = list.addPage(reply.Entries, reply.NextKey);
        ROLLCALL_FUZZ_CHECK(list.size() - before == list.lastAdded());
        ROLLCALL_FUZZ_CHECK(list.lastAdded() <= reply.Entries.size());
        ROLLCALL_FUZZ_CHECK(end != ListEnd::LastPage || IsFinalMasterKey(reply.NextKey));
        ROLLCALL_FUZZ_CHECK(end != ListEnd::TimedOut);
        ROLLCALL_FUZZ_CHECK(end != ListEnd::Cap || (cap > 0 && list.size() == std::max(cap, 1)));
    }

    // Whatever came in: every server once, each one a game server could be, within the bounds.
    ROLLCALL_FUZZ_CHECK(list.size() <= ServerList::Ceiling);
    ROLLCALL_FUZZ_CHECK(cap == 0 || list.size() <= cap);
    QSet<QString> seen;
    for (const ServerEntry &entry : list.servers()) {
        ROLLCALL_FUZZ_CHECK(IsQueryableServer(entry));
        const QString key = entry.Address + QLatin1Char(':') + QString::number(entry.Port);
        ROLLCALL_FUZZ_CHECK(!seen.contains(key));
        seen.insert(key);
    }
    return 0;
}
