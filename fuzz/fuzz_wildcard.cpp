#include "FuzzInput.h"
#include "search/PlayerMatcher.h"

using namespace rollcall::search;

// The first byte says how long the pattern is; the rest of the input is the name.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArrayView input = rollcall::fuzz::bytes(data, size);
    if (input.isEmpty())
        return 0;
    const qsizetype patternLength = std::min<qsizetype>(quint8(input[0]), input.size() - 1);
    const QByteArray pattern = LowerLatin1(input.sliced(1, patternLength));
    const QByteArray name = LowerLatin1(input.sliced(1 + patternLength));

    const bool valid = isValidWildcardPattern(pattern);
    const bool matched = WildcardMatch(name, pattern);
    ROLLCALL_FUZZ_CHECK(valid || !matched);
    ROLLCALL_FUZZ_CHECK(WildcardPattern(pattern).matches(name) == matched);
    ROLLCALL_FUZZ_CHECK(WildcardMatch(name, "*"));

    // Without special characters a pattern is plain text and matches exactly itself.
    if (pattern.indexOf('?') < 0 && pattern.indexOf('*') < 0 && pattern.indexOf('#') < 0
        && pattern.indexOf('[') < 0) {
        ROLLCALL_FUZZ_CHECK(valid);
        ROLLCALL_FUZZ_CHECK(WildcardMatch(pattern, pattern));
    }
    return 0;
}
