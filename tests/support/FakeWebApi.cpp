#include "FakeWebApi.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

namespace rollcall::testsupport {

namespace {

constexpr qsizetype MaxHead = 16 * 1024;

FakeWebApi::Request parseHead(const QByteArray &head)
{
    FakeWebApi::Request request;
    request.head = head;
    const QList<QByteArray> words = head.left(head.indexOf("\r\n")).split(' ');
    request.method = words.value(0);
    request.target = words.value(1);
    const QUrl url(QStringLiteral("http://127.0.0.1") + QString::fromLatin1(request.target));
    request.path = url.path();
    const QUrlQuery query(url);
    request.key = query.queryItemValue(QStringLiteral("key"), QUrl::FullyDecoded);
    request.filter = QByteArray::fromPercentEncoding(
        query.queryItemValue(QStringLiteral("filter"), QUrl::FullyEncoded).toLatin1());
    request.limit = query.queryItemValue(QStringLiteral("limit"));
    return request;
}

} // namespace

FakeWebApi::FakeWebApi(QObject *parent)
    : QObject(parent)
    , respond([](const Request &) { return List({}); })
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeWebApi::accept);
}

FakeWebApi::~FakeWebApi() = default;

bool FakeWebApi::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl FakeWebApi::base(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:") + QString::number(port()) + path);
}

QByteArray FakeWebApi::ListJson(const QStringList &addresses)
{
    QByteArray servers;
    for (const QString &address : addresses) {
        if (!servers.isEmpty())
            servers += ',';
        servers += "{\"addr\":\"" + address.toUtf8()
            + "\",\"gameport\":27015,\"name\":\"Fake \\\"Web\\\" Server\","
              "\"appid\":70,\"gamedir\":\"valve\",\"map\":\"crossfire\",\"players\":3}";
    }
    return "{\"response\":{\"servers\":[" + servers + "]}}";
}

FakeWebApi::Answer FakeWebApi::List(const QStringList &addresses)
{
    Answer answer;
    answer.body = ListJson(addresses);
    return answer;
}

FakeWebApi::Answer FakeWebApi::Status(int status, const QByteArray &reason, const QByteArray &body)
{
    Answer answer;
    answer.status = status;
    answer.reason = reason;
    answer.body = body;
    return answer;
}

void FakeWebApi::accept()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++connections;
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void FakeWebApi::read(QTcpSocket *socket)
{
    if (socket->property("answered").toBool())
        return;
    QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    const qsizetype end = head.indexOf("\r\n\r\n");
    // Anything but a request line (a TLS hello, say) gets a plain refusal, as a real server's would.
    const bool requestLine = !head.isEmpty() && head.front() >= 'A' && head.front() <= 'Z';
    if (requestLine && end < 0 && head.size() <= MaxHead) {
        socket->setProperty("head", head);
        return;
    }
    socket->setProperty("answered", true);
    if (!requestLine || end < 0) {
        socket->write("HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
        return;
    }
    const Request request = parseHead(head.left(end + 4));
    requests.append(request);
    answer(socket, request);
}

void FakeWebApi::answer(QTcpSocket *socket, const Request &request)
{
    const Answer scripted = respond(request);
    QByteArray head = "HTTP/1.1 " + QByteArray::number(scripted.status) + ' ' + scripted.reason + "\r\n";
    head += "Content-Type: application/json\r\nConnection: close\r\n";
    if (scripted.declareLength) {
        const qint64 length = scripted.declaredLength >= 0 ? scripted.declaredLength : scripted.body.size();
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    }
    socket->write(head + "\r\n");
    const QByteArray body = scripted.cutAfter >= 0 ? scripted.body.left(scripted.cutAfter) : scripted.body;
    if (scripted.trickleBytes > 0) {
        trickle(socket, body, 0, scripted);
        return;
    }
    socket->write(body);
    socket->disconnectFromHost();
}

void FakeWebApi::trickle(QTcpSocket *socket, const QByteArray &body, qsizetype offset, const Answer &answer)
{
    if (offset >= body.size()) {
        socket->disconnectFromHost();
        return;
    }
    socket->write(body.mid(offset, answer.trickleBytes));
    QPointer<QTcpSocket> alive(socket);
    QTimer::singleShot(answer.trickleMs, this, [this, alive, body, offset, answer] {
        if (alive && alive->state() == QAbstractSocket::ConnectedState)
            trickle(alive, body, offset + answer.trickleBytes, answer);
    });
}

} // namespace rollcall::testsupport
