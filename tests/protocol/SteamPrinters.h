#pragma once

// Readable failure output for the Steam-mode records: QCOMPARE finds these by argument lookup.

#include "protocol/A2sProtocol.h"
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

inline char *toString(const A2sInfo &i)
{
    using steamprint::field;
    const QByteArray text = "A2sInfo{host " + field(i.HostName) + ", map " + field(i.MapName) + ", dir "
        + field(i.GameDirectory) + ", desc " + field(i.GameDescription) + ", app " + field(i.AppId)
        + ", players " + field(i.PlayerCount) + "/" + field(i.MaxPlayers) + ", bots " + field(i.Bots)
        + ", type " + field(i.ServerType) + ", os " + field(i.OperatingSystem) + ", password "
        + field(i.Password) + ", secure " + field(i.Secure) + ", version " + field(i.Version) + ", protocol "
        + field(i.ProtocolVersion) + ", port " + field(i.GamePort) + ", keywords " + field(i.Keywords) + "}";
    return qstrdup(text.constData());
}

inline char *toString(const A2sReplyClass &c)
{
    const QByteArray text = "A2sReplyClass{kind " + QByteArray::number(int(c.Kind)) + ", challenge "
        + c.Challenge.toHex() + "}";
    return qstrdup(text.constData());
}

} // namespace rollcall::protocol
