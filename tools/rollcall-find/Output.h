#pragma once

// What rollcall-find writes: UTF-8 text, names decoded as Latin-1, tab-separated values that a
// hostile player name cannot break apart, or one JSON document.

#include "protocol/QueryProtocol.h"
#include "search/ResultRow.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace rollcall::find {

enum class Format { Tsv, Json };

// Backslash, tab, CR and LF as \\, \t, \r, \n; everything else as it is, in UTF-8.
QByteArray EscapeTsvCell(const QString &cell);
// Tab-separated values mark an absent value with \N, which no escaped text can spell.
inline constexpr const char *AbsentTsv = "\\N";

QByteArray RowsHeaderTsv();
QByteArray RowTsv(const search::ResultRow &row);
QByteArray RowsJson(const QList<search::ResultRow> &rows);

QByteArray InfoText(const protocol::InfoReply &reply, Format format);
QByteArray RulesText(const protocol::RulesReply &reply, Format format);
QByteArray PlayersText(const protocol::PlayersReply &reply, Format format);

} // namespace rollcall::find
