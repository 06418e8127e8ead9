#pragma once

// A fake Steam Web API on 127.0.0.1 for the tests of the Web API list: plain HTTP/1.1, one request
// per connection, answered as the test scripts it: any status, JSON or not, a declared length or
// none, a body cut short, or one that trickles. It writes its answers here, apart from the
// program's own parser. Nothing blocks: the trickle is a timer, so tests wait with QTRY_*.
//
// Typical use:
//   FakeWebApi api;  QVERIFY(api.listen());
//   api.respond = [](const FakeWebApi::Request &) { return FakeWebApi::List({"10.0.0.1:27015"}); };
//   client.start(api.base(), key, filters, std::nullopt);

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QUrl>
#include <functional>

class QTcpSocket;

namespace rollcall::testsupport {

class FakeWebApi final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FakeWebApi)

public:
    struct Request
    {
        QByteArray method;
        QByteArray target; // as sent: path and query, still percent-encoded
        QString path; // decoded
        QString key;
        QByteArray filter; // decoded bytes
        QString limit;
        QByteArray head; // the request line and headers as received
    };

    struct Answer
    {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray body;
        bool declareLength = true; // false: the body ends when the connection closes
        qint64 declaredLength = -1; // -1: the body's size
        qint64 cutAfter = -1; // close after this many body bytes; -1: send all of it
        int trickleBytes = 0; // > 0: the body goes out this many bytes at a time ...
        int trickleMs = 0; // ... one piece every trickleMs
    };

    explicit FakeWebApi(QObject *parent = nullptr);
    ~FakeWebApi() override;

    bool listen();
    // http://127.0.0.1:PORT, with `path` after it.
    QUrl base(const QString &path = QString()) const;
    quint16 port() const { return m_server.serverPort(); }

    // {"response":{"servers":[{"addr":...,"gameport":...,"name":...}, ...]}}
    static QByteArray ListJson(const QStringList &addresses);
    static Answer List(const QStringList &addresses);
    static Answer Status(int status, const QByteArray &reason, const QByteArray &body = QByteArray());

    // How each request is answered; by default an empty list.
    std::function<Answer(const Request &)> respond;
    QList<Request> requests;
    int connections = 0;

private:
    void accept();
    void read(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const Request &request);
    void trickle(QTcpSocket *socket, const QByteArray &body, qsizetype offset, const Answer &answer);

    QTcpServer m_server;
};

} // namespace rollcall::testsupport
