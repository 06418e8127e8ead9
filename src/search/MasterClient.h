#pragma once

// The paged exchange with a master server that yields the list of game servers to ask.
// It reports one terminal signal per exchange (finished or failed), always after its own state
// is final, and nothing at all after abort().

#include "protocol/MasterProtocol.h"
#include "search/ServerList.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <optional>

namespace rollcall::search {

// The address a master is asked at: the first IPv4 address of its name ("localhost" often lists
// ::1 first, and master protocols carry IPv4 only), if it passes the rule every listed server
// passes (a master "at" a broadcast or multicast address would answer from elsewhere, if at all).
std::optional<QHostAddress> MasterAddressToAsk(const QList<QHostAddress> &addresses, qint64 port);

class ServerSocket;

class MasterClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MasterClient)

public:
    enum class Failure {
        Unreachable, // no IPv4 address for the host, a port out of range, or the port refused
        BadHeader,
        Malformed, // a list reply that breaks off inside an entry
        SendFailed, // a follow-up request that cannot be sent
    };
    Q_ENUM(Failure)

    static constexpr std::chrono::milliseconds DefaultTimeout { 30000 };

    explicit MasterClient(QObject *parent = nullptr);
    ~MasterClient() override;

    // The whole download must end within this time, all pages included (never restarted).
    void setTimeoutInterval(std::chrono::milliseconds interval) { m_timer.setInterval(interval); }

    // Drops any exchange in progress and starts a new one. `cap` limits the servers taken;
    // ServerList::Ceiling limits them whatever the cap.
    void start(const QString &masterServer, const QByteArray &filterText, std::optional<qint32> cap);
    // Ends the exchange silently: closes the socket, stops the time-out, emits nothing more.
    void abort();

    bool isDone() const { return m_done; }
    int serverCount() const { return int(m_list.size()); }
    // Why the last list stopped growing; Open until finished() and after a failure.
    ListEnd listEnd() const { return m_end; }
    // A page with a good header arrived in this exchange: the master is there, even if it
    // listed nobody.
    bool hasAnswered() const { return m_answered; }
    // "IPv4:port" of the master asked in this exchange; empty until the request goes out.
    QString askedAddress() const { return m_asked; }

Q_SIGNALS:
    // A datagram added servers and more pages are coming; `count` servers so far.
    void progress(int count);
    // The list is complete: see listEnd() for why (a port that stopped listening after some pages
    // ends it too). `lastDatagramAdded` tells whether the datagram that ended it brought servers
    // (false after a time-out).
    void finished(const QList<rollcall::protocol::ServerEntry> &servers, bool lastDatagramAdded);
    void failed(rollcall::search::MasterClient::Failure failure);

private:
    void hostResolved(quint64 generation, const QList<QHostAddress> &addresses);
    void replyReceived(const QByteArray &datagram);
    void timedOut();
    void refused();
    void fail(Failure failure);
    void finish(bool lastDatagramAdded);
    void failLater(Failure failure);

    ServerSocket *m_socket = nullptr;
    QTimer m_timer;
    quint64 m_generation = 0;
    int m_lookupId = -1;
    qint64 m_port = 0;
    QByteArray m_filter;
    ServerList m_list;
    ListEnd m_end = ListEnd::Open;
    QString m_asked;
    bool m_done = true;
    bool m_answered = false;
};

} // namespace rollcall::search
