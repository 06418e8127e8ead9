#pragma once

// A list of servers kept by hand: one "host:port" a line, as LAN parties and communities pass
// them around. Parsing only; reading the file and looking names up is search's business.
//
// Bounds, whatever the file holds: at most MaxListFileEntries lines that name something (the
// rest of the file is one problem at the first line past the bound), a line longer than
// MaxListFileLineLength is a bad line without being looked into, and a host name follows the
// DNS limits (253 characters, labels of 63). Ten thousand servers is more than any hand-kept
// list, and every entry costs a lookup and a datagram.

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

namespace rollcall::protocol {

inline constexpr quint16 DefaultServerPort = 27015;
inline constexpr int MaxListFileEntries = 10000;
inline constexpr qsizetype MaxListFileLineLength = 1000;
inline constexpr qsizetype MaxHostNameLength = 253;
// How much of a bad line is kept to be shown back to the user.
inline constexpr qsizetype MaxShownLineLength = 80;

// One usable line. `Host` is lower-cased; `Address` is set when the host is a dotted IPv4
// address, which is never looked up.
struct ListFileEntry
{
    int Line = 0; // 1-based
    QString Host;
    quint16 Port = DefaultServerPort;
    std::optional<quint32> Address;

    friend bool operator==(const ListFileEntry &, const ListFileEntry &) = default;
};

enum class ListLineFault {
    BadHost, // neither a dotted IPv4 address nor a host name (also IPv6, and "010.0.0.1")
    MissingHost, // ":27015"
    BadPort, // not a number of 1 to 65535 after the colon
    LineTooLong, // over MaxListFileLineLength characters
    TooManyEntries, // the first line past MaxListFileEntries; nothing after it is read
};

struct ListLineProblem
{
    int Line = 0; // 1-based
    ListLineFault Fault = ListLineFault::BadHost;
    QString Text; // the line as written, printable and cut to MaxShownLineLength

    friend bool operator==(const ListLineProblem &, const ListLineProblem &) = default;
};

struct ParsedServerList
{
    QList<ListFileEntry> Entries; // in file order, repeats included
    QList<ListLineProblem> Problems; // in file order
};

// Lines end with LF or CRLF; the bytes are read as UTF-8.
ParsedServerList ParseServerListFile(QByteArrayView content);

// One line without its comment; nullopt with `fault` set for a bad line, nullopt with `fault`
// unset for a line that names nothing (blank or only a comment).
std::optional<ListFileEntry> ParseServerListLine(QStringView line, std::optional<ListLineFault> *fault);

// Text a person may be shown: control and other unprintable characters dropped, cut to
// `maxLength` with an ellipsis.
QString PrintableExcerpt(QStringView text, qsizetype maxLength = MaxShownLineLength);

// The line that adds `address:port` to a list, without its line end.
QString ServerListLine(const QString &address, quint16 port);

} // namespace rollcall::protocol
