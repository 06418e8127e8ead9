#pragma once

// How reading a server list file ended, as plain values. Header-only for the same reason as
// RunFacts.h: the wording reads it without linking the network core.

#include "protocol/MasterProtocol.h"

#include <QList>
#include <QString>

namespace rollcall::search {

// One line of the file that adds no server to the search.
struct ListFileProblem
{
    enum class Kind {
        BadHost, // neither a dotted IPv4 address nor a host name
        MissingHost, // a port with nothing before it
        BadPort, // not 1 to 65535
        LineTooLong, // over protocol::MaxListFileLineLength characters
        TooManyEntries, // past protocol::MaxListFileEntries; the rest of the file is not read
        NameNotFound, // the name does not resolve
        NoIPv4Address, // the name resolves, but to IPv6 addresses only
        LookupTimedOut, // no answer for the name within ServerListFileReader's time limit
        UnusableAddress, // an address no game server can have (0.x, multicast, reserved)
    };

    int line = 0; // 1-based
    Kind kind = Kind::BadHost;
    QString text; // the line as written: printable, cut short

    friend bool operator==(const ListFileProblem &, const ListFileProblem &) = default;
};

enum class ListFileEnd {
    Read, // the file was read; its servers and problems are in the result
    Missing, // no file at the path
    Unreadable, // the file is there, but could not be opened or read
    NotRegularFile, // a directory, a device, a pipe: nothing is read from it
    TooLarge, // over ServerListFileReader::MaxFileBytes
};

struct ListFileResult
{
    ListFileEnd end = ListFileEnd::Read;
    QString detail; // the system's reason when the file could not be read; may be empty
    QList<protocol::ServerEntry> servers; // in file order, each address and port once
    QList<ListFileProblem> problems; // in line order

    friend bool operator==(const ListFileResult &, const ListFileResult &) = default;
};

// What adding one server to a list file came to. The file is only ever appended to.
enum class ListFileAddEnd {
    Added, // the line is at the end of the file, which was created if it was missing
    AlreadyListed, // a line of the file names that address and port already: nothing written
    NotRegularFile, // a directory, a device, a pipe: left alone
    TooLarge, // over ServerListFileReader::MaxFileBytes: it could not be checked for the server
    Unreadable,
    Unwritable, // no permission, no such folder, a full disk
};

struct ListFileAddResult
{
    ListFileAddEnd end = ListFileAddEnd::Added;
    QString detail; // the system's reason for a failure; may be empty

    friend bool operator==(const ListFileAddResult &, const ListFileAddResult &) = default;
};

} // namespace rollcall::search
