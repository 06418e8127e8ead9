// The Steam Web API's pure side: which bases may be asked, the request URL, the JSON list and its
// addresses, and the key kept out of every text.

#include "protocol/WebApiProtocol.h"

#include <QTest>
#include <QUrlQuery>

using namespace rollcall::protocol;

namespace {

const QString Key = QStringLiteral("0123456789ABCDEF0123456789ABCDEF");

QStringList texts(const QList<ServerEntry> &entries)
{
    QStringList out;
    for (const ServerEntry &entry : entries)
        out << entry.Address + QLatin1Char(':') + QString::number(entry.Port);
    return out;
}

} // namespace

class tst_WebApiProtocol : public QObject
{
    Q_OBJECT

private slots:
    void base_data();
    void base();
    void url_data();
    void url();
    void address_data();
    void address();
    void list_data();
    void list();
    void redact_data();
    void redact();
};

void tst_WebApiProtocol::base_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<int>("kind");

    const int https = int(WebApiBaseKind::Https);
    const int loopback = int(WebApiBaseKind::LoopbackHttp);
    const int plain = int(WebApiBaseKind::PlainHttp);
    const int unusable = int(WebApiBaseKind::Unusable);
    QTest::newRow("https_default") << QString::fromLatin1(DefaultWebApiBase) << https;
    QTest::newRow("https_upperScheme") << "HTTPS://api.example.org/x" << https;
    QTest::newRow("https_loopback") << "https://127.0.0.1:8443" << https;
    QTest::newRow("loopback_127001") << "http://127.0.0.1:27080" << loopback;
    QTest::newRow("loopback_edgeOf8") << "http://127.255.255.254/" << loopback;
    QTest::newRow("loopback_ipv6") << "http://[::1]:8080" << loopback;
    QTest::newRow("loopback_ipv6Long") << "http://[0:0:0:0:0:0:0:1]:8080" << loopback;
    QTest::newRow("loopback_mapped") << "http://[::ffff:127.0.0.1]/" << loopback;
    QTest::newRow("loopback_name") << "http://localhost:8080" << loopback;
    QTest::newRow("loopback_nameAnyCase") << "http://LocalHost./" << loopback;
    QTest::newRow("plain_name") << "http://api.steampowered.com" << plain;
    QTest::newRow("plain_private") << "http://192.168.1.10:8080" << plain;
    QTest::newRow("plain_nextTo127") << "http://128.0.0.1/" << plain;
    QTest::newRow("plain_loopbackLookalike") << "http://127.0.0.1.example.invalid/" << plain;
    QTest::newRow("plain_localhostSubdomain") << "http://localhost.example.invalid/" << plain;
    QTest::newRow("plain_ipv6") << "http://[2001:db8::1]/" << plain;
    QTest::newRow("plain_mappedOther") << "http://[::ffff:10.0.0.1]/" << plain;
    QTest::newRow("bad_ftp") << "ftp://127.0.0.1/" << unusable;
    QTest::newRow("bad_file") << "file:///etc/passwd" << unusable;
    QTest::newRow("bad_noHost") << "https://" << unusable;
    QTest::newRow("bad_noScheme") << "api.steampowered.com" << unusable;
    QTest::newRow("bad_empty") << "" << unusable;
}

void tst_WebApiProtocol::base()
{
    QFETCH(QString, base);
    QFETCH(int, kind);
    QCOMPARE(int(ClassifyWebApiBase(QUrl(base))), kind);
}

void tst_WebApiProtocol::url_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QByteArray>("filter");
    QTest::addColumn<QString>("path"); // decoded
    QTest::addColumn<QByteArray>("encodedQuery"); // what goes on the wire

    QTest::newRow("default") << QString::fromLatin1(DefaultWebApiBase) << QByteArray("\\appid\\70\\empty\\1")
                             << "/IGameServersService/GetServerList/v1/"
                             << QByteArray(
                                    "key=" + Key.toLatin1() + "&filter=%5Cappid%5C70%5Cempty%5C1&limit=500");
    QTest::newRow("path_kept") << "https://proxy.example/steam" << QByteArray("\\appid\\10")
                               << "/steam/IGameServersService/GetServerList/v1/"
                               << QByteArray("key=" + Key.toLatin1() + "&filter=%5Cappid%5C10&limit=500");
    QTest::newRow("path_trailingSlashes")
        << "https://proxy.example/steam//" << QByteArray() << "/steam/IGameServersService/GetServerList/v1/"
        << QByteArray("key=" + Key.toLatin1() + "&filter=&limit=500");
    // The base's own query and fragment would otherwise ride along or shadow the key.
    QTest::newRow("query_dropped") << "https://x.example/?key=other&a=b#frag" << QByteArray("\\map\\a")
                                   << "/IGameServersService/GetServerList/v1/"
                                   << QByteArray("key=" + Key.toLatin1() + "&filter=%5Cmap%5Ca&limit=500");
    // Characters a query treats specially reach the server as themselves.
    QTest::newRow("filter_delimiters")
        << "https://x.example" << QByteArray("\\map\\a+b&c=d#e") << "/IGameServersService/GetServerList/v1/"
        << QByteArray("key=" + Key.toLatin1() + "&filter=%5Cmap%5Ca%2Bb%26c%3Dd%23e&limit=500");
    QTest::newRow("filter_utf8") << "https://x.example" << QByteArray("\\map\\d\xC3\xA9")
                                 << "/IGameServersService/GetServerList/v1/"
                                 << QByteArray(
                                        "key=" + Key.toLatin1() + "&filter=%5Cmap%5Cd%C3%A9&limit=500");
}

void tst_WebApiProtocol::url()
{
    QFETCH(QString, base);
    QFETCH(QByteArray, filter);
    QFETCH(QString, path);
    QFETCH(QByteArray, encodedQuery);
    const QUrl url = WebApiListUrl(QUrl(base), Key, filter, 500);
    QCOMPARE(url.path(), path);
    QCOMPARE(url.query(QUrl::FullyEncoded).toLatin1(), encodedQuery);
    QVERIFY(!url.hasFragment());
    QCOMPARE(url.host(), QUrl(base).host());
    const QUrlQuery query(url);
    QCOMPARE(QByteArray::fromPercentEncoding(
                 query.queryItemValue(QStringLiteral("filter"), QUrl::FullyEncoded).toLatin1()),
        filter);
}

void tst_WebApiProtocol::address_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("entry"); // empty: refused

    QTest::newRow("ok_plain") << "1.2.3.4:27015"
                              << "1.2.3.4:27015";
    QTest::newRow("ok_portEdges") << "10.0.0.1:1"
                                  << "10.0.0.1:1";
    QTest::newRow("ok_portMax") << "10.0.0.1:65535"
                                << "10.0.0.1:65535";
    QTest::newRow("bad_port0") << "10.0.0.1:0"
                               << "";
    QTest::newRow("bad_portHigh") << "10.0.0.1:65536"
                                  << "";
    QTest::newRow("bad_portLong") << "10.0.0.1:000027015"
                                  << "";
    QTest::newRow("bad_portSign") << "10.0.0.1:+27015"
                                  << "";
    QTest::newRow("bad_noPort") << "10.0.0.1"
                                << "";
    QTest::newRow("bad_emptyPort") << "10.0.0.1:"
                                   << "";
    QTest::newRow("bad_name") << "example.org:27015"
                              << "";
    QTest::newRow("bad_leadingZero") << "010.0.0.1:27015"
                                     << "";
    QTest::newRow("bad_ipv6") << "[::1]:27015"
                              << "";
    QTest::newRow("bad_space") << " 1.2.3.4:27015"
                               << "";
    QTest::newRow("bad_empty") << ""
                               << "";
}

void tst_WebApiProtocol::address()
{
    QFETCH(QString, text);
    QFETCH(QString, entry);
    const std::optional<ServerEntry> parsed = ParseWebApiAddress(text);
    QCOMPARE(parsed ? texts({ *parsed }).first() : QString(), entry);
}

void tst_WebApiProtocol::list_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<int>("dropped");

    QTest::newRow("ok_two") << QByteArray(
        R"({"response":{"servers":[{"addr":"1.2.3.4:27015","gameport":27015},)"
        R"({"addr":"5.6.7.8:27016","name":"x"}]}})")
                            << true << QStringList { "1.2.3.4:27015", "5.6.7.8:27016" } << 0;
    QTest::newRow("ok_noServersKey") << QByteArray(R"({"response":{}})") << true << QStringList() << 0;
    QTest::newRow("ok_emptyArray") << QByteArray(R"({"response":{"servers":[]}})") << true << QStringList()
                                   << 0;
    QTest::newRow("ok_otherFields") << QByteArray(
        R"({"response":{"success":true,"servers":[{"addr":"1.2.3.4:1"}]},"x":1})")
                                    << true << QStringList { "1.2.3.4:1" } << 0;
    // Entries the list cannot use are dropped one by one; the rest stand.
    QTest::newRow("drop_badEntries") << QByteArray(
        R"({"response":{"servers":[{"addr":"1.2.3.4:27015"},{"addr":27015},{"name":"no addr"},)"
        R"("1.2.3.4:27015",null,{"addr":"host:1"},{"addr":"[::1]:27015"},{"addr":"9.9.9.9:27015"}]}})")
                                     << true << QStringList { "1.2.3.4:27015", "9.9.9.9:27015" } << 6;
    QTest::newRow("bad_notJson") << QByteArray("<html>Forbidden</html>") << false << QStringList() << 0;
    QTest::newRow("bad_empty") << QByteArray() << false << QStringList() << 0;
    QTest::newRow("bad_truncated") << QByteArray(R"({"response":{"servers":[{"addr":"1.2.3.4:27015"},{"ad)")
                                   << false << QStringList() << 0;
    QTest::newRow("bad_noResponse") << QByteArray(R"({"servers":[{"addr":"1.2.3.4:27015"}]})") << false
                                    << QStringList() << 0;
    QTest::newRow("bad_responseArray") << QByteArray(R"({"response":[]})") << false << QStringList() << 0;
    QTest::newRow("bad_serversObject")
        << QByteArray(R"({"response":{"servers":{"addr":"1.2.3.4:1"}}})") << false << QStringList() << 0;
    QTest::newRow("bad_topArray") << QByteArray(R"([{"response":{}}])") << false << QStringList() << 0;
    QTest::newRow("bad_deepNesting") << QByteArray(100000, '[') << false << QStringList() << 0;
}

void tst_WebApiProtocol::list()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, valid);
    QFETCH(QStringList, entries);
    QFETCH(int, dropped);
    const WebApiServerList list = ParseWebApiServerList(body);
    QCOMPARE(list.Valid, valid);
    QCOMPARE(texts(list.Entries), entries);
    QCOMPARE(list.Dropped, dropped);
}

void tst_WebApiProtocol::redact_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QString url = QString::fromLatin1(
        WebApiListUrl(QUrl(QString::fromLatin1(DefaultWebApiBase)), Key, "\\appid\\70", 10).toEncoded());
    QTest::newRow("qtTransferError")
        << QString(
               QStringLiteral("Error transferring ") + url + QStringLiteral(" - server replied: Forbidden"))
        << Key
        << "Error transferring https://api.steampowered.com/IGameServersService/GetServerList/v1/"
           "?key=***&filter=%5Cappid%5C70&limit=10 - server replied: Forbidden";
    QTest::newRow("bareKey") << QString(QStringLiteral("bad key ") + Key) << Key << "bad key ***";
    QTest::newRow("keyOtherCase") << QString(QStringLiteral("bad key ") + Key.toLower()) << Key
                                  << "bad key ***";
    QTest::newRow("anotherKeyInUrl") << "GET /x?filter=a&key=SOMETHINGELSE&limit=1" << Key
                                     << "GET /x?filter=a&key=***&limit=1";
    QTest::newRow("encodedKey") << "echo a%2Bb%26c"
                                << "a+b&c"
                                << "echo ***";
    QTest::newRow("controls") << "line\r\none\x1b[31m" << Key << "line  one [31m";
    QTest::newRow("noKey") << "Connection refused" << QString() << "Connection refused";
    QTest::newRow("long") << QString(400, QLatin1Char('x')) << Key
                          << QString(QString(297, QLatin1Char('x')) + QStringLiteral("..."));
}

void tst_WebApiProtocol::redact()
{
    QFETCH(QString, text);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString redacted = RedactWebApiText(text, key);
    QCOMPARE(redacted, expected);
    if (!key.isEmpty())
        QVERIFY(!redacted.contains(key, Qt::CaseInsensitive));
}

QTEST_APPLESS_MAIN(tst_WebApiProtocol)
#include "tst_webapiprotocol.moc"
