#include "FuzzInput.h"
#include "protocol/ServerAddressRules.h"
#include "protocol/ServerListFile.h"

using namespace rollcall::protocol;

// A server list file is whatever the user (or whoever sent it to them) put in it.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const ParsedServerList parsed = ParseServerListFile(rollcall::fuzz::bytes(data, size));

    ROLLCALL_FUZZ_CHECK(parsed.Entries.size() + parsed.Problems.size() <= MaxListFileEntries + 1);
    int lastLine = 0;
    for (const ListFileEntry &entry : parsed.Entries) {
        ROLLCALL_FUZZ_CHECK(entry.Line > lastLine);
        lastLine = entry.Line;
        ROLLCALL_FUZZ_CHECK(entry.Port >= 1);
        ROLLCALL_FUZZ_CHECK(!entry.Host.isEmpty() && entry.Host.size() <= MaxHostNameLength);
        // A literal address is canonical and never reaches a resolver; a name never looks like one.
        ROLLCALL_FUZZ_CHECK(entry.Address.has_value() == ParseDottedIPv4(entry.Host).has_value());
        // What "Add server to list file" writes reads back as the same server.
        std::optional<ListLineFault> fault;
        const std::optional<ListFileEntry> again
            = ParseServerListLine(ServerListLine(entry.Host, entry.Port), &fault);
        ROLLCALL_FUZZ_CHECK(again && again->Host == entry.Host && again->Port == entry.Port);
    }
    lastLine = 0;
    for (const ListLineProblem &problem : parsed.Problems) {
        ROLLCALL_FUZZ_CHECK(problem.Line > lastLine);
        lastLine = problem.Line;
        ROLLCALL_FUZZ_CHECK(problem.Text.size() <= MaxShownLineLength);
        for (const QChar c : problem.Text)
            ROLLCALL_FUZZ_CHECK(c.isPrint());
    }
    return 0;
}
