#include "FuzzInput.h"
#include "Replies.h"
#include "protocol/MasterProtocol.h"

using namespace rollcall;

// What the simulator reads from its clients, and the round trip of our own master request
// through its parser. The first byte splits the rest into a game and a map filter.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input = fuzz::bytes(data, size);
    (void)hlsim::ClassifyRequest(input);
    hlsim::MasterRequest parsed;
    if (hlsim::ParseMasterRequest(input, &parsed))
        ROLLCALL_FUZZ_CHECK(input.size() >= 6 && input.front() == '1' && input.back() == '\0');

    if (input.size() < 5)
        return 0;
    const QByteArrayView rest = input.sliced(5);
    const qsizetype split = std::min<qsizetype>(quint8(input[0]), rest.size());
    const QByteArray game = rest.first(split).toByteArray();
    const QByteArray map = rest.sliced(split).toByteArray();
    // The options page and rollcall-find refuse a backslash; a zero byte cannot be typed.
    if (game.contains('\\') || map.contains('\\') || game.contains('\0') || map.contains('\0'))
        return 0;
    const QByteArray key = input.sliced(1, 4).toByteArray();
    const QByteArray request = protocol::BuildMasterRequest(
        key, protocol::MasterFilterText(QString::fromLatin1(game), QString::fromLatin1(map)));
    hlsim::MasterRequest back;
    ROLLCALL_FUZZ_CHECK(hlsim::ParseMasterRequest(request, &back));
    ROLLCALL_FUZZ_CHECK(back.Filter.GameDirectory == game && back.Filter.MapName == map);
    ROLLCALL_FUZZ_CHECK(back.Filter.NotEmpty);
    return 0;
}
