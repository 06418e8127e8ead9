#include "FuzzInput.h"
#include "protocol/A2sProtocol.h"
#include "search/UnicodeMatcher.h"

using namespace rollcall::search;

namespace {

bool hasOperator(std::u32string_view folded)
{
    return folded.find_first_of(U"?*#[") != std::u32string_view::npos;
}

} // namespace

// The first byte says how long the pattern is; the rest of the input is the name. Both go through
// the UTF-8 decoder first, as names from servers do.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArrayView input = rollcall::fuzz::bytes(data, size);
    if (input.isEmpty())
        return 0;
    const qsizetype patternLength = std::min<qsizetype>(quint8(input[0]), input.size() - 1);
    const QString pattern = rollcall::protocol::Utf8(input.sliced(1, patternLength));
    const QString name = rollcall::protocol::Utf8(input.sliced(1 + patternLength));

    const std::u32string foldedName = FoldForMatch(name);
    for (char32_t code : foldedName)
        ROLLCALL_FUZZ_CHECK(code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF));

    const UnicodeWildcardPattern compiled(pattern);
    const bool matched = compiled.matches(name);
    ROLLCALL_FUZZ_CHECK(compiled.isValid() || !matched);
    ROLLCALL_FUZZ_CHECK(compiled.matchesFolded(foldedName) == matched);
    ROLLCALL_FUZZ_CHECK(UnicodeWildcardPattern(u"*").matches(name));

    // Without operators a pattern is plain text and matches exactly itself.
    if (!hasOperator(FoldForMatch(pattern))) {
        ROLLCALL_FUZZ_CHECK(compiled.isValid());
        ROLLCALL_FUZZ_CHECK(compiled.matches(pattern));
    }

    // The matcher reads a slot's UTF-8 bytes back to the same text and agrees with the pattern.
    const NameSlot off;
    const bool usable = !pattern.isEmpty() && compiled.isValid();
    ROLLCALL_FUZZ_CHECK(UnicodeNameMatcher({ NameSlot { true, true, pattern.toUtf8() }, off }).matches(name)
        == (usable && matched));
    if (!name.isEmpty())
        ROLLCALL_FUZZ_CHECK(
            UnicodeNameMatcher({ NameSlot { true, false, name.toUtf8() }, off }).matches(name));
    return 0;
}
