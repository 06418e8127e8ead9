#pragma once

// The three connectionless queries a game server answers, as pure functions over bytes.
// Text stays as bytes (one byte, one character); turn it into QString with Latin1() only
// where it is shown.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

namespace rollcall::protocol {

enum class QueryKind { Info, Rules, Players };

QByteArray BuildQueryRequest(QueryKind kind);

struct InfoReply
{
    std::optional<QByteArray> HostName;
    std::optional<QByteArray> MapName;
    std::optional<QByteArray> GameDirectory;
    std::optional<QByteArray> GameDescription;
    std::optional<quint8> PlayerCount;
    std::optional<quint8> MaxPlayers;
    std::optional<quint8> ProtocolVersion;

    friend bool operator==(const InfoReply &, const InfoReply &) = default;
};

struct ServerRule
{
    QByteArray Name;
    QByteArray Value;

    friend bool operator==(const ServerRule &, const ServerRule &) = default;
};

struct RulesReply
{
    QList<ServerRule> Rules;
    bool Complete = false;

    friend bool operator==(const RulesReply &, const RulesReply &) = default;
};

struct PlayerRecord
{
    quint8 Index = 0;
    QByteArray Name;
    qint32 Frags = 0;
    // Whole seconds; a time that is negative, not finite or beyond 32 bits decodes to 0.
    qint32 Time = 0;

    friend bool operator==(const PlayerRecord &, const PlayerRecord &) = default;
};

struct PlayersReply
{
    QList<PlayerRecord> Players;
    bool Complete = false;

    friend bool operator==(const PlayersReply &, const PlayersReply &) = default;
};

InfoReply DecodeInfoReply(QByteArrayView datagram);
RulesReply DecodeRulesReply(QByteArrayView datagram);
PlayersReply DecodePlayersReply(QByteArrayView datagram);

// "hh:mm:ss", hours at least two digits and unbounded (360000 gives "100:00:00").
QString FormatPlayTime(qint64 seconds);

// The edge where wire text becomes display text.
inline QString Latin1(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes);
}

} // namespace rollcall::protocol
