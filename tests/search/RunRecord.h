#pragma once

// Everything one SearchRun reports, recorded in order, for the tests of whole searches.

#include "search/ResultRow.h"
#include "search/RunFacts.h"
#include "search/SearchRun.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace rollcall::search {

// What one run reported, in order.
struct Record
{
    QStringList events;
    QList<ResultRow> rows;
    QList<RunProgress> progress;
    QSet<QString> answered;
    QSet<QString> timedOut;
    std::optional<RunFailure> failure;
    std::optional<RunNotice> notice;
    bool ended = false;

    explicit Record(SearchRun &run)
    {
        const auto on = [&run](auto signal, auto slot) { QObject::connect(&run, signal, &run, slot); };
        on(&SearchRun::progressChanged, [this](const RunProgress &p) { progress << p; });
        on(&SearchRun::rowsFound, [this](const QList<ResultRow> &found) {
            rows += found;
            events << QStringLiteral("rows");
        });
        on(&SearchRun::serverAnswered,
            [this](const QString &ip, qint32 port, int) { answered << ip + ':' + QString::number(port); });
        on(&SearchRun::serverTimedOut,
            [this](const QString &ip, qint32 port) { timedOut << ip + ':' + QString::number(port); });
        on(&SearchRun::runEnded, [this] {
            ended = true;
            events << QStringLiteral("done");
        });
        on(&SearchRun::failed, [this](const RunFailure &f) {
            failure = f;
            events << QStringLiteral("failed");
        });
        on(&SearchRun::noticed, [this](const RunNotice &n) {
            notice = n;
            events << QStringLiteral("notice");
        });
    }

    QStringList names() const
    {
        QStringList list;
        for (const ResultRow &row : rows)
            list << row.cell(ResultRow::PlayerName);
        list.sort();
        return list;
    }
};

} // namespace rollcall::search
