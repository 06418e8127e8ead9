#pragma once

#include <QString>
#include <array>

namespace rollcall::search {

// One player found: six text cells and nothing else.
struct ResultRow
{
    enum Column { ServerIp, Port, Ping, PlayerName, Frags, Time, ColumnCount };
    std::array<QString, ColumnCount> Cells;

    const QString &cell(int column) const { return Cells[size_t(column)]; }

    friend bool operator==(const ResultRow &, const ResultRow &) = default;
};

} // namespace rollcall::search
