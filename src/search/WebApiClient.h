#pragma once

// The server list from the Steam Web API: one GET per filter text, each answered with its whole
// list as JSON, and their union reported batch by batch as the answers arrive. The key travels in
// the URL, so nothing this class hands out carries the URL's query, and a plain http:// base is
// refused before any lookup unless it names this machine. Redirects are not followed: the key
// would go along to wherever they point.

#include "protocol/MasterProtocol.h"
#include "search/ServerList.h"
#include "search/WebApiFacts.h"

#include <QByteArray>
#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <optional>

class QNetworkReply;

namespace rollcall::search {

class WebApiClient final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebApiClient)

public:
    // Twenty thousand servers are about 10 MiB of JSON; anything much bigger is not a list.
    static constexpr qint64 MaxBodyBytes = 16 * 1024 * 1024;
    // The `limit` asked for without a cap: about the most the API has been seen to hand out.
    static constexpr int DefaultLimit = 20000;
    static constexpr std::chrono::milliseconds DefaultTimeout { 30000 };

    explicit WebApiClient(QObject *parent = nullptr);
    ~WebApiClient() override;

    // How long each request may take from leaving to its last byte.
    void setTimeout(std::chrono::milliseconds timeout) { m_timer.setInterval(timeout); }

    // Drops any list in progress and asks anew: every filter text in order (SteamMasterFilters
    // gives them), one request each. No filters: the list is complete and empty. `cap` limits
    // the servers taken and is the `limit` asked for; below one it still takes the first.
    // Whatever stops the list before a request (no key, an unusable or insecure base) is
    // reported from the event loop, never from inside start().
    void start(
        const QUrl &base, const QString &key, const QList<QByteArray> &filters, std::optional<qint32> cap);
    // Ends the list silently: the request in flight is dropped, nothing more is emitted.
    void abort();

    bool isDone() const { return m_done; }
    // Every server reported so far, in the order reported.
    const QList<protocol::ServerEntry> &servers() const { return m_list.servers(); }
    // Requests handed to the network since the last start().
    int requestsSent() const { return m_requests; }

Q_SIGNALS:
    // Servers new to this list, in the answer's order; never empty.
    void serversAdded(const QList<rollcall::protocol::ServerEntry> &batch);
    // Once per list, after its last batch.
    void finished(const rollcall::search::WebApiOutcome &outcome);

private:
    void sendRequest();
    void headersReceived();
    void bodyReceived();
    void replyFinished();
    void timedOut();
    void takeList(const QByteArray &body);
    void fail(WebApiEnd how, int status = 0, const QString &detail = QString());
    void end(const WebApiOutcome &outcome);
    void endLater(WebApiEnd how, const QString &detail = QString());
    void releaseReply();

    QNetworkAccessManager m_manager;
    QNetworkReply *m_reply = nullptr;
    QTimer m_timer;
    QUrl m_base;
    QString m_key;
    QList<QByteArray> m_filters;
    qsizetype m_filter = 0;
    int m_limit = DefaultLimit;
    ServerList m_list;
    QByteArray m_body;
    quint64 m_generation = 0;
    int m_requests = 0;
    bool m_done = true;
};

} // namespace rollcall::search
