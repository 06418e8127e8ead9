#pragma once

// Readable failure output for the decoded records: QCOMPARE finds these by argument lookup.

#include "protocol/MasterProtocol.h"
#include "protocol/QueryProtocol.h"

#include <QTest>

namespace rollcall::protocol {

inline QByteArray describe(const std::optional<QByteArray> &text)
{
    return text ? '"' + text->toHex(' ') + '"' : QByteArray("absent");
}

inline QByteArray describe(const std::optional<quint8> &value)
{
    return value ? QByteArray::number(*value) : QByteArray("absent");
}

inline char *toString(const InfoReply &r)
{
    const QByteArray text = "InfoReply{host " + describe(r.HostName) + ", map " + describe(r.MapName)
        + ", dir " + describe(r.GameDirectory) + ", desc " + describe(r.GameDescription) + ", players "
        + describe(r.PlayerCount) + "/" + describe(r.MaxPlayers) + ", protocol " + describe(r.ProtocolVersion)
        + "}";
    return qstrdup(text.constData());
}

inline char *toString(const PlayersReply &r)
{
    QByteArray text = "PlayersReply{complete " + QByteArray(r.Complete ? "true" : "false");
    for (const PlayerRecord &p : r.Players) {
        text += ", [" + QByteArray::number(p.Index) + " \"" + p.Name.toHex(' ') + "\" "
            + QByteArray::number(p.Frags) + " " + QByteArray::number(p.Time) + "]";
    }
    text += "}";
    return qstrdup(text.constData());
}

inline char *toString(const RulesReply &r)
{
    QByteArray text = "RulesReply{complete " + QByteArray(r.Complete ? "true" : "false");
    for (const ServerRule &rule : r.Rules)
        text += ", [" + rule.Name + "=" + rule.Value + "]";
    text += "}";
    return qstrdup(text.constData());
}

inline char *toString(const ServerEntry &e)
{
    const QByteArray text = e.Address.toLatin1() + ':' + QByteArray::number(e.Port);
    return qstrdup(text.constData());
}

} // namespace rollcall::protocol
