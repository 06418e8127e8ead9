#pragma once

// hlsim's Web API on a loopback TCP port: plain HTTP/1.1, one request per connection, then
// close. It runs on a thread of its own with a Qt event loop, since the simulator's main thread
// is its epoll loop; the population it serves is a copy that nobody changes.

#include "WebApi.h"

#include <QObject>
#include <QTcpServer>
#include <QThread>

class QTcpSocket;

namespace rollcall::hlsim {

struct WebApiStats
{
    quint64 Requests = 0; // requests read whole, answered or refused
    quint64 KeyRefused = 0; // answered 403
};

class WebApiServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebApiServer)

public:
    // However a client dawdles (a request that never ends, an answer never read), its
    // connection lasts no longer than this, and only so many are open at once.
    static constexpr int MaxConnectionMs = 10000;
    static constexpr int MaxConnections = 64;

    explicit WebApiServer(WebApiPopulation population, QObject *parent = nullptr);
    ~WebApiServer() override;

    // On 127.0.0.1 only, whatever the servers are bound to: the key travels in the clear.
    bool listen(quint16 port, QString *error);
    quint16 port() const { return m_server.serverPort(); }
    void close() { m_server.close(); }
    const WebApiStats &stats() const { return m_stats; }

private:
    void accept();
    void read(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const HttpAnswer &answer);

    WebApiPopulation m_population;
    QTcpServer m_server { this };
    WebApiStats m_stats;
    int m_open = 0;
};

// The server on its thread: started before the listening lines are printed, stopped after the
// simulator's loop ends.
class WebApiThread
{
public:
    WebApiThread() = default;
    ~WebApiThread();
    WebApiThread(const WebApiThread &) = delete;
    WebApiThread &operator=(const WebApiThread &) = delete;

    bool start(WebApiPopulation population, quint16 port, QString *error);
    quint16 port() const { return m_port; }
    // Closes the port, ends the thread and returns the counts; nothing when it was not running.
    WebApiStats stop();

private:
    QThread m_thread;
    WebApiServer *m_server = nullptr;
    quint16 m_port = 0;
};

} // namespace rollcall::hlsim
