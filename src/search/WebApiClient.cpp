#include "search/WebApiClient.h"

#include "protocol/WebApiProtocol.h"

#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#if QT_CONFIG(ssl)
#include <QSslSocket>
#endif

namespace rollcall::search {

namespace {

WebApiEnd EndForStatus(int status)
{
    if (status == 401 || status == 403)
        return WebApiEnd::KeyRefused;
    if (status == 429)
        return WebApiEnd::RateLimited;
    if (status >= 500 && status <= 599)
        return WebApiEnd::ServerError;
    return WebApiEnd::BadResponse;
}

bool TlsAvailable()
{
#if QT_CONFIG(ssl)
    return QSslSocket::supportsSsl();
#else
    return false;
#endif
}

} // namespace

WebApiClient::WebApiClient(QObject *parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(DefaultTimeout);
    connect(&m_timer, &QTimer::timeout, this, &WebApiClient::timedOut);
}

WebApiClient::~WebApiClient()
{
    abort();
}

void WebApiClient::start(
    const QUrl &base, const QString &key, const QList<QByteArray> &filters, std::optional<qint32> cap)
{
    abort();
    m_done = false;
    m_base = base;
    m_key = key.trimmed();
    m_filters = filters;
    m_filter = 0;
    m_limit = cap ? qBound(1, *cap, int(ServerList::Ceiling)) : DefaultLimit;
    m_list = ServerList(cap);
    m_requests = 0;

    const protocol::WebApiBaseKind kind = protocol::ClassifyWebApiBase(base);
    if (kind == protocol::WebApiBaseKind::Unusable)
        return endLater(WebApiEnd::BadAddress);
    // Refused here, before any lookup: even asking a resolver about the host would say where
    // the search is going, and the request after it would carry the key in the clear.
    if (kind == protocol::WebApiBaseKind::PlainHttp)
        return endLater(WebApiEnd::InsecureRefused);
    if (m_key.isEmpty())
        return endLater(WebApiEnd::NoKey);
    if (m_filters.isEmpty())
        return endLater(WebApiEnd::Complete);
    if (kind == protocol::WebApiBaseKind::Https && !TlsAvailable())
        return endLater(WebApiEnd::TlsError, QStringLiteral("TLS is not available"));
    // A proxy must never see the loopback simulator's traffic, nor stand between it and us.
    m_manager.setProxy(kind == protocol::WebApiBaseKind::LoopbackHttp ? QNetworkProxy(QNetworkProxy::NoProxy)
                                                                      : QNetworkProxy());
    sendRequest();
}

void WebApiClient::abort()
{
    ++m_generation;
    m_timer.stop();
    releaseReply();
    m_body.clear();
    m_done = true;
}

void WebApiClient::endLater(WebApiEnd how, const QString &detail)
{
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation, how, detail] {
            if (generation == m_generation && !m_done)
                end(WebApiOutcome { how, int(m_list.size()), 0, detail });
        },
        Qt::QueuedConnection);
}

void WebApiClient::sendRequest()
{
    QNetworkRequest request(protocol::WebApiListUrl(m_base, m_key, m_filters.at(m_filter), m_limit));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    request.setRawHeader("Accept", "application/json");
    m_body.clear();
    m_reply = m_manager.get(request);
    ++m_requests;
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &WebApiClient::headersReceived);
    connect(m_reply, &QNetworkReply::readyRead, this, &WebApiClient::bodyReceived);
    connect(m_reply, &QNetworkReply::finished, this, &WebApiClient::replyFinished);
    m_timer.start();
}

void WebApiClient::headersReceived()
{
    // A declared length over the bound is refused before a byte of the body is held.
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > MaxBodyBytes)
        fail(WebApiEnd::TooLarge, m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
}

void WebApiClient::bodyReceived()
{
    // Read as it comes, so an undeclared or lying length is caught at the bound, not at the end.
    m_body += m_reply->read(MaxBodyBytes + 1 - m_body.size());
    if (m_body.size() > MaxBodyBytes)
        fail(WebApiEnd::TooLarge, m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt());
}

void WebApiClient::replyFinished()
{
    QNetworkReply *reply = m_reply;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status != 0 && status != 200)
        return fail(EndForStatus(status), status,
            reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    if (reply->error() != QNetworkReply::NoError) {
        const bool tls = reply->error() == QNetworkReply::SslHandshakeFailedError;
        return fail(tls ? WebApiEnd::TlsError : WebApiEnd::NetworkError, status, reply->errorString());
    }
    if (status == 0)
        return fail(WebApiEnd::BadResponse);
    bodyReceived();
    if (m_done)
        return;
    const QByteArray body = std::exchange(m_body, QByteArray());
    m_timer.stop();
    releaseReply();
    takeList(body);
}

void WebApiClient::takeList(const QByteArray &body)
{
    const protocol::WebApiServerList answer = protocol::ParseWebApiServerList(body);
    if (!answer.Valid)
        return fail(WebApiEnd::BadResponse, 200);
    const qsizetype before = m_list.size();
    // Each answer is a whole list: the key that marks a master's last page says so.
    const ListEnd listEnd = m_list.addPage(answer.Entries, protocol::FirstMasterKey());
    const QList<protocol::ServerEntry> batch = m_list.servers().mid(before);
    ++m_filter;
    std::optional<WebApiEnd> how;
    if (listEnd == ListEnd::Cap)
        how = WebApiEnd::CapReached;
    else if (listEnd == ListEnd::Ceiling)
        how = WebApiEnd::CeilingReached;
    else if (m_filter >= m_filters.size())
        how = WebApiEnd::Complete;
    if (how)
        m_done = true;

    QPointer<WebApiClient> self(this);
    const quint64 generation = m_generation;
    if (!batch.isEmpty())
        Q_EMIT serversAdded(batch);
    // A receiver may have stopped, restarted or deleted this client.
    if (!self || generation != m_generation)
        return;
    if (how)
        Q_EMIT finished(WebApiOutcome { *how, int(m_list.size()), 200, QString() });
    else
        sendRequest();
}

void WebApiClient::timedOut()
{
    if (!m_done && m_reply)
        fail(WebApiEnd::TimedOut);
}

void WebApiClient::fail(WebApiEnd how, int status, const QString &detail)
{
    end(WebApiOutcome { how, int(m_list.size()), status, protocol::RedactWebApiText(detail, m_key) });
}

void WebApiClient::end(const WebApiOutcome &outcome)
{
    m_done = true;
    m_timer.stop();
    releaseReply();
    m_body.clear();
    Q_EMIT finished(outcome);
}

void WebApiClient::releaseReply()
{
    if (!m_reply)
        return;
    // This may run inside the reply's own signal, which Qt's reply does not expect to be aborted
    // from: the abort and the delete wait until that has unwound.
    m_reply->disconnect(this);
    QMetaObject::invokeMethod(m_reply, &QNetworkReply::abort, Qt::QueuedConnection);
    m_reply->deleteLater();
    m_reply = nullptr;
}

} // namespace rollcall::search
