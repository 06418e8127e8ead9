#include "WebApiServer.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace rollcall::hlsim {

WebApiServer::WebApiServer(WebApiPopulation population, QObject *parent)
    : QObject(parent)
    , m_population(std::move(population))
{
    connect(&m_server, &QTcpServer::newConnection, this, &WebApiServer::accept);
}

// The open connections go with the listening socket; none may call back into this half-gone server.
WebApiServer::~WebApiServer()
{
    for (QTcpSocket *socket : m_server.findChildren<QTcpSocket *>())
        socket->disconnect(this);
}

bool WebApiServer::listen(quint16 port, QString *error)
{
    if (m_server.listen(QHostAddress::LocalHost, port))
        return true;
    *error = QStringLiteral("Web API: cannot listen on port %1: %2").arg(port).arg(m_server.errorString());
    return false;
}

void WebApiServer::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        if (m_open >= MaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_open;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            --m_open;
            socket->deleteLater();
        });
        QTimer::singleShot(MaxConnectionMs, socket, [socket] { socket->abort(); });
    }
}

void WebApiServer::read(QTcpSocket *socket)
{
    if (socket->property("answered").toBool()) {
        socket->readAll(); // a body or a second request: one request per connection
        return;
    }
    // Read no more than one byte past the bound, whatever the client sends.
    const QByteArray head = socket->property("head").toByteArray();
    const QByteArray all = head + socket->read(MaxRequestHead + 1 - head.size());
    const qsizetype end = all.indexOf("\r\n\r\n");
    if (end < 0 && all.size() <= MaxRequestHead) {
        socket->setProperty("head", all);
        return;
    }
    socket->setProperty("answered", true);
    socket->setProperty("head", QVariant());
    if (end < 0) {
        answer(socket, { 431, QByteArray() });
        return;
    }
    ++m_stats.Requests;
    const std::optional<HttpRequest> request = ParseHttpRequest(QByteArrayView(all).first(end));
    const HttpAnswer reply
        = request ? AnswerWebApi(*request, m_population) : HttpAnswer { 400, QByteArray() };
    if (reply.Status == 403)
        ++m_stats.KeyRefused;
    answer(socket, reply);
}

void WebApiServer::answer(QTcpSocket *socket, const HttpAnswer &reply)
{
    socket->write(EncodeHttpResponse(reply));
    // Closes once the answer has left.
    socket->disconnectFromHost();
}

WebApiThread::~WebApiThread()
{
    stop();
}

bool WebApiThread::start(WebApiPopulation population, quint16 port, QString *error)
{
    m_server = new WebApiServer(std::move(population));
    m_server->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_server, &QObject::deleteLater);
    m_thread.start();
    bool listening = false;
    QMetaObject::invokeMethod(
        m_server,
        [&] {
            listening = m_server->listen(port, error);
            m_port = m_server->port();
        },
        Qt::BlockingQueuedConnection);
    if (!listening)
        stop();
    return listening;
}

WebApiStats WebApiThread::stop()
{
    WebApiStats stats;
    if (!m_thread.isRunning())
        return stats;
    QMetaObject::invokeMethod(
        m_server,
        [&] {
            stats = m_server->stats();
            m_server->close();
        },
        Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    m_server = nullptr;
    return stats;
}

} // namespace rollcall::hlsim
