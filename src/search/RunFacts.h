#pragma once

// What a search run reports, as plain values: where it is, how far it got, and why it ended
// early. Windows and tools word these themselves; nothing here is text for a person.
// Header-only on purpose: the wording library reads these without linking the network core.

#include "protocol/MasterProtocol.h"
#include "search/ListFileFacts.h"
#include "search/WebApiFacts.h"

#include <QString>
#include <optional>

namespace rollcall::search {

enum class RunPhase {
    Resolving, // the master is being looked up and asked; no page has listed a server yet
    DownloadingList, // pages are arriving; `listed` servers so far
    Querying, // the list is complete and handed out; no query has been named yet
    // Queries are out; `server` is the one asked last. A Steam list comes here with its first
    // page, since its servers are asked while the rest of the list arrives.
    Refreshing,
    Done, // the last query answered or timed out, Stop, or a master exchange without a list
};

// Why a run ended without a list to ask.
struct RunFailure
{
    enum class Kind {
        MasterUnreachable, // no IPv4 address for the name, a port out of range, or the port refused
        BadMasterReply, // a reply that is not a master list at all
        MalformedMasterReply, // a list reply that breaks off inside an entry
        MasterTimedOut, // nothing came back before the master time-out
        NoServersListed, // the master answered, with an empty list
        SocketFailure, // a follow-up request could not be sent
        ListFileUnreadable, // the server list file could not be read: `listFileEnd`, `detail`
        NoUsableServer, // the list file names no server that can be asked; `problems` say why
        WebApiFailed, // the Steam Web API gave no server: `webApi` says how its list ended
    };

    Kind kind = Kind::MasterUnreachable;
    QString master; // the master server as the search was given it; the Web API's base address
    QString masterAddress; // "IPv4:port" that was asked; empty when none was
    // A list file's failures: the file as given ("-" for standard input), why it was not read,
    // and its bad lines.
    QString listFile {};
    ListFileEnd listFileEnd = ListFileEnd::Read;
    QString detail {};
    QList<ListFileProblem> problems {};
    WebApiOutcome webApi {}; // WebApiFailed only

    friend bool operator==(const RunFailure &, const RunFailure &) = default;
};

// What a run that did search tells at its end: the master cut the list short, and only the
// `listed` servers received before that were searched.
struct RunNotice
{
    enum class Kind {
        MasterStoppedAnswering, // silent after some pages; it allows a client only so many a minute
        BadMasterReply, // a reply that is not a master list ended the list
        MalformedMasterReply, // a page that broke off inside an entry ended the list
        ListFileBadLines, // the list file's `problems` were passed over; its other servers searched
        // A Web API request failed after others had listed servers, or the list reached the
        // ceiling: `webApi` says how it ended.
        WebApiCutShort,
    };

    Kind kind = Kind::MasterStoppedAnswering;
    int listed = 0;
    QString master; // the master server as the search was given it; the Web API's base address
    QString masterAddress; // "IPv4:port" that was asked
    QString listFile {}; // the list file as given ("-" for standard input)
    QList<ListFileProblem> problems {};
    WebApiOutcome webApi {}; // WebApiCutShort only

    friend bool operator==(const RunNotice &, const RunNotice &) = default;
};

struct RunProgress
{
    RunPhase phase = RunPhase::Resolving;
    // Servers the master listed so far; the whole list from Querying on. A Steam list is asked
    // while it grows: there it counts the servers received so far.
    int listed = 0;
    int handedOut = 0; // servers asked so far, the first round included
    // Servers the hand-out has not reached yet. The first round, one server per socket all at
    // once, counts as not reached: the count starts going down with the next server asked.
    int left = 0;
    int answered = 0; // replies, late ones included
    int timedOut = 0;
    int rows = 0; // players found
    protocol::ServerEntry server; // the server asked last (Refreshing on)
    std::optional<RunFailure> failure; // set with Done when the run got no list
    std::optional<RunNotice> notice; // set when the master cut a list short that is being searched

    bool isQuerying() const { return phase == RunPhase::Querying || phase == RunPhase::Refreshing; }

    friend bool operator==(const RunProgress &, const RunProgress &) = default;
};

} // namespace rollcall::search
