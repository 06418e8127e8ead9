#pragma once

#include <QString>
#include <array>
#include <optional>

namespace rollcall::search {

// One player found: six text cells, and the time connected as a number for output that
// wants one.
struct ResultRow
{
    enum Column { ServerIp, Port, Ping, PlayerName, Frags, Time, ColumnCount };
    std::array<QString, ColumnCount> Cells;
    // Whole seconds as the reply gave them, which the Time cell shows; absent in a row that
    // was not built from a reply.
    std::optional<qint32> Seconds;

    const QString &cell(int column) const { return Cells[size_t(column)]; }

    friend bool operator==(const ResultRow &, const ResultRow &) = default;
};

} // namespace rollcall::search
