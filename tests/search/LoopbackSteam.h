#pragma once

// A Steam master and A2S game servers on 127.0.0.1, small enough to script per test: the master
// serves one list per filter text, page by page from the seed; each game server answers A2S
// players the way its kind of server does (a challenge first, at once, or never).

#include "protocol/MasterProtocol.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>
#include <cstring>
#include <memory>
#include <vector>

namespace rollcall::loopbacksteam {

using protocol::ServerEntry;

// One clock for every fake, so the order of events on different sockets can be compared.
inline qint64 Now()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

inline QByteArray EncodeEntry(const ServerEntry &entry)
{
    QByteArray bytes;
    for (const QString &part : entry.Address.split(u'.'))
        bytes += char(part.toInt());
    return bytes + char(entry.Port >> 8) + char(entry.Port & 0xFF);
}

inline QByteArray SteamPage(const QList<ServerEntry> &entries, bool endMarker)
{
    QByteArray page = QByteArray::fromHex("FFFFFFFF660A");
    for (const ServerEntry &entry : entries)
        page += EncodeEntry(entry);
    return endMarker ? page + QByteArray(6, '\0') : page;
}

struct Player
{
    QByteArray Name; // raw bytes, as the server sends them
    qint32 Frags = 0;
    float Seconds = 0.f;
};

inline QByteArray PlayersReply(const QList<Player> &players)
{
    QByteArray reply = QByteArray::fromHex("FFFFFFFF44") + char(players.size());
    for (const Player &player : players) {
        reply += char(0) + player.Name + char(0);
        char number[4];
        qToLittleEndian<qint32>(player.Frags, number);
        reply.append(number, 4);
        quint32 bits = 0;
        std::memcpy(&bits, &player.Seconds, 4);
        qToLittleEndian<quint32>(bits, number);
        reply.append(number, 4);
    }
    return reply;
}

// A master on 127.0.0.1 serving one list per filter text, `pageSize` entries a page; the end
// marker goes into the last page when there is room, else into a page of its own.
class FakeSteamMaster final : public QObject
{
public:
    bool listen()
    {
        if (!m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0)
            || !m_spoof.bind(QHostAddress(QHostAddress::LocalHost), 0))
            return false;
        connect(&m_socket, &QUdpSocket::readyRead, this, &FakeSteamMaster::read);
        return true;
    }
    QString address() const { return QStringLiteral("127.0.0.1:") + QString::number(m_socket.localPort()); }

    QHash<QByteArray, QList<ServerEntry>> lists; // by filter text
    int pageSize = 231;
    int silentAfter = -1; // pages answered before it falls silent; -1: never
    int replacedAt = -1; // this page (0-based) is sent as `replacement`
    QByteArray replacement;
    QByteArray spoof; // sent from another port before each real page

    QList<QByteArray> requests;
    QList<qint64> requestTimes; // Now()

private:
    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_socket.receiveDatagram();
            requests << d.data();
            requestTimes << Now();
            const int page = int(requests.size()) - 1;
            if (silentAfter >= 0 && page >= silentAfter)
                continue;
            if (!spoof.isEmpty())
                m_spoof.writeDatagram(spoof, d.senderAddress(), quint16(d.senderPort()));
            const QByteArray reply = page == replacedAt ? replacement : answer(d.data());
            m_socket.writeDatagram(reply, d.senderAddress(), quint16(d.senderPort()));
        }
    }

    // 0x31, region, seed text, 0, filter, 0.
    QByteArray answer(const QByteArray &request) const
    {
        const QList<QByteArray> fields = request.mid(2).split('\0');
        const QByteArray seed = fields.value(0);
        const QList<ServerEntry> list = lists.value(fields.value(1));
        qsizetype from = 0;
        if (seed != "0.0.0.0:0") {
            from = list.size();
            for (qsizetype i = 0; i < list.size(); ++i) {
                if (list.at(i).Address.toLatin1() + ':' + QByteArray::number(list.at(i).Port) == seed)
                    from = i + 1;
            }
        }
        const QList<ServerEntry> entries = list.mid(from, pageSize);
        return SteamPage(entries, from + entries.size() >= list.size() && entries.size() < pageSize);
    }

    QUdpSocket m_socket;
    QUdpSocket m_spoof;
};

// One A2S game server on 127.0.0.1: players ('U'), and info ('T') and rules ('V') when given.
class FakeA2sServer final : public QObject
{
public:
    enum class Kind {
        Challenging, // the first request gets a challenge, the one with it the players
        Direct, // players at once, challenge or not
        Rechallenging, // a fresh challenge in place of the first answer too, as if it expired
        AlwaysChallenging, // a new challenge for every request
        Silent,
    };

    bool listen()
    {
        if (!m_socket.bind(QHostAddress(QHostAddress::LocalHost), 0)
            || !m_spoof.bind(QHostAddress(QHostAddress::LocalHost), 0))
            return false;
        connect(&m_socket, &QUdpSocket::readyRead, this, &FakeA2sServer::read);
        return true;
    }
    ServerEntry entry() const { return { QStringLiteral("127.0.0.1"), m_socket.localPort() }; }

    Kind kind = Kind::Challenging;
    QList<Player> players;
    QList<QByteArray> infoReplies; // sent together, as servers that mix the layouts do
    QByteArray rulesReply;
    int delayMs = 0;
    QByteArray spoof; // sent from another port before each answer

    int requests = 0;
    int answers = 0; // players replies sent
    QList<qint64> requestTimes; // Now()

private:
    void read()
    {
        while (m_socket.hasPendingDatagrams()) {
            const QNetworkDatagram d = m_socket.receiveDatagram();
            ++requests;
            requestTimes << Now();
            const QByteArray request = d.data();
            const char type = request.size() > 4 ? request.at(4) : 0;
            // Info goes out bare first (25 bytes), players and rules with FF FF FF FF in its place.
            const bool bare = type == 'T' && request.size() == 25;
            const QByteArray challenge = bare ? QByteArray(4, '\xFF') : request.right(4);
            if (kind == Kind::Silent || (type != 'U' && type != 'T' && type != 'V'))
                continue;
            for (const QByteArray &reply : answerTo(type, challenge))
                send(reply, d.senderAddress(), quint16(d.senderPort()));
        }
    }

    QList<QByteArray> answerTo(char type, const QByteArray &challenge)
    {
        const QByteArray issued = QByteArray::fromHex("1A2B3C") + char(m_issued);
        const bool valid = m_issued > 0 && challenge == issued;
        const bool challengeNow = kind == Kind::AlwaysChallenging || (kind == Kind::Challenging && !valid)
            || (kind == Kind::Rechallenging && m_issued < 2) || (kind == Kind::Rechallenging && !valid);
        if (!challengeNow) {
            ++answers;
            return type == 'T' ? infoReplies
                               : QList<QByteArray> { type == 'V' ? rulesReply : PlayersReply(players) };
        }
        ++m_issued;
        return { QByteArray::fromHex("FFFFFFFF41") + QByteArray::fromHex("1A2B3C") + char(m_issued) };
    }

    void send(const QByteArray &reply, const QHostAddress &to, quint16 port)
    {
        QTimer::singleShot(delayMs, Qt::PreciseTimer, this, [this, reply, to, port] {
            if (!spoof.isEmpty())
                m_spoof.writeDatagram(spoof, to, port);
            m_socket.writeDatagram(reply, to, port);
        });
    }

    QUdpSocket m_socket;
    QUdpSocket m_spoof;
    int m_issued = 0;
};

// `count` game servers of one kind, each with its own players.
class A2sPopulation
{
public:
    bool start(int count, FakeA2sServer::Kind kind = FakeA2sServer::Kind::Challenging)
    {
        for (int i = 0; i < count; ++i) {
            auto server = std::make_unique<FakeA2sServer>();
            if (!server->listen())
                return false;
            server->kind = kind;
            server->players = PlayersFor(i);
            m_servers.push_back(std::move(server));
        }
        return true;
    }
    int size() const { return int(m_servers.size()); }
    FakeA2sServer &at(int i) const { return *m_servers.at(size_t(i)); }
    QList<ServerEntry> entries(int first = 0, int count = -1) const
    {
        QList<ServerEntry> list;
        const int last = count < 0 ? size() : qMin(size(), first + count);
        for (int i = first; i < last; ++i)
            list << at(i).entry();
        return list;
    }

    // Server i: i % 3 players "player<i>_<j>".
    static QList<Player> PlayersFor(int i)
    {
        QList<Player> players;
        for (int j = 1; j <= i % 3; ++j)
            players << Player { "player" + QByteArray::number(i) + '_' + QByteArray::number(j), j, 60.f * j };
        return players;
    }
    // The names on servers first to first + count - 1, sorted: what a search for "player" finds.
    static QStringList NamesOn(int first, int count)
    {
        QStringList list;
        for (int i = first; i < first + count; ++i) {
            for (const Player &player : PlayersFor(i))
                list << QString::fromLatin1(player.Name);
        }
        list.sort();
        return list;
    }
    int playersIn(int first, int count) const
    {
        int total = 0;
        for (int i = first; i < first + count; ++i)
            total += int(PlayersFor(i).size());
        return total;
    }

private:
    std::vector<std::unique_ptr<FakeA2sServer>> m_servers;
};

} // namespace rollcall::loopbacksteam
