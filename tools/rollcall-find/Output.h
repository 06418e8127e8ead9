#pragma once

// What rollcall-find writes: UTF-8 text, names decoded as Latin-1 (legacy servers) or UTF-8
// (Steam mode, A2S), tab-separated values that a hostile player name cannot break apart, or one
// JSON document.

#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"
#include "search/ResultRow.h"
#include "settings/SettingsBackend.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace rollcall::find {

enum class Format { Tsv, Json };
// How a server's text bytes are read: legacy servers send Latin-1, A2S replies UTF-8.
enum class Encoding { Latin1, Utf8 };

// A cell of every text output, in UTF-8, that neither splits a line nor drives a terminal:
// backslash, tab, CR and LF as \\, \t, \r, \n; every other C0 control, DEL and every C1
// control as \x and two lower-case hex digits (\x1b, \x7f, \x9b); the bidirectional
// overrides and isolates (U+202A-U+202E, U+2066-U+2069) as \u{202e}; everything else as it is.
// A backslash always starts an escape, so the text can be read back exactly.
QByteArray EscapeTsvCell(const QString &cell);
// Tab-separated values mark an absent value with \N, which no escaped text can spell.
inline constexpr const char *AbsentTsv = "\\N";

QByteArray RowsHeaderTsv();
QByteArray RowTsv(const search::ResultRow &row);
QByteArray RowsJson(const QList<search::ResultRow> &rows);

QByteArray InfoText(const protocol::InfoReply &reply, Format format);
// Steam mode: the legacy fields in their order, then those only A2S has, each only when the
// server sent it: Bots, ServerType (d, l, p), OperatingSystem (l, w, m, o), Password, Secure, Version.
QByteArray InfoText(const protocol::A2sInfo &info, Format format);
QByteArray RulesText(const protocol::RulesReply &reply, Format format, Encoding encoding = Encoding::Latin1);
QByteArray PlayersText(
    const protocol::PlayersReply &reply, Format format, Encoding encoding = Encoding::Latin1);

// The stderr line saying the saved options were passed over, and why; empty when they were not.
QByteArray LoadProblemNote(const settings::SettingsBackend &backend);

} // namespace rollcall::find
