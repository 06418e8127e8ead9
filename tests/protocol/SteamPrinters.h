#pragma once

// Readable failure output for the Steam-mode records: QCOMPARE finds these by argument lookup.

#include "protocol/SteamMasterProtocol.h"

#include <QTest>

namespace rollcall::protocol {

namespace steamprint {

inline QByteArray entry(const ServerEntry &e)
{
    return e.Address.toLatin1() + ':' + QByteArray::number(e.Port);
}

inline QByteArray field(const std::optional<QByteArray> &text)
{
    return text ? '"' + text->toHex(' ') + '"' : QByteArray("-");
}

template <typename Number> QByteArray field(const std::optional<Number> &value)
{
    return value ? QByteArray::number(qlonglong(*value)) : QByteArray("-");
}

} // namespace steamprint

inline char *toString(const SteamMasterReply &r)
{
    QByteArray text = "SteamMasterReply{status " + QByteArray::number(int(r.Status)) + ", ended "
        + QByteArray(r.Ended ? "yes" : "no") + ", last " + (r.Last ? steamprint::entry(*r.Last) : "-");
    for (const ServerEntry &e : r.Entries)
        text += ", " + steamprint::entry(e);
    text += '}';
    return qstrdup(text.constData());
}

} // namespace rollcall::protocol
