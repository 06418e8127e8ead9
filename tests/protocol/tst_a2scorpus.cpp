// Info and players replies captured from real servers (tests/data/corpus), read the Steam-mode way.

#include "SteamPrinters.h"
#include "protocol/A2sProtocol.h"
#include "protocol/QueryProtocol.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace rollcall::protocol;

namespace {

QString corpusDir()
{
    const QString fromEnvironment = qEnvironmentVariable("ROLLCALL_CORPUS_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(ROLLCALL_CORPUS_FALLBACK) : fromEnvironment;
}

QByteArray readHex(const QString &relativePath)
{
    QFile file(corpusDir() + u'/' + relativePath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QByteArray::fromHex(file.readAll());
}

struct Expected
{
    QByteArray host, map, directory, description;
    std::optional<quint32> appId;
    quint8 players, maxPlayers, protocol;
    std::optional<quint8> bots;
    char type, os;
    bool password;
    bool secure;
    std::optional<QByteArray> version;
    std::optional<quint16> port;
};

A2sInfo record(const Expected &e)
{
    A2sInfo i;
    i.HostName = e.host;
    i.MapName = e.map;
    i.GameDirectory = e.directory;
    i.GameDescription = e.description;
    i.AppId = e.appId;
    i.PlayerCount = e.players;
    i.MaxPlayers = e.maxPlayers;
    i.Bots = e.bots;
    i.ServerType = e.type;
    i.OperatingSystem = e.os;
    i.Password = e.password;
    i.Secure = e.secure;
    i.Version = e.version;
    i.ProtocolVersion = e.protocol;
    i.GamePort = e.port;
    return i;
}

} // namespace

class tst_A2sCorpus : public QObject
{
    Q_OBJECT

private slots:
    void info_data();
    void info();
    void goldSrcAgreesWithLegacy_data();
    void goldSrcAgreesWithLegacy();
    void utf8Names_data();
    void utf8Names();
};

void tst_A2sCorpus::info_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<A2sInfo>("expected");

    // Steam HLDS: extra data with the game port, SteamID and game id.
    QTest::newRow("cs16-sgk-I") << QStringLiteral("info/gameq-cs16-sgk-I.hex")
                                << record({ "|SgK| CLASSIC 1000 FPS #1USA sgkclan.org  ", "de_inferno",
                                       "cstrike", "|SgK| Clan", 10, 23, 32, 48, 2, 'd', 'l', false, true,
                                       "1.1.2.7/Stdio", 27015 });
    QTest::newRow("dod-merrills-I") << QStringLiteral("info/gameq-dod-merrills-I.hex")
                                    << record({ "Merrill's Marauders | Caen 24/7 | www.475thrangers.com",
                                           "dod_caen", "dod", "Day of Defeat", 30, 16, 32, 48, 4, 'd', 'w',
                                           false, true, "1.1.2.6", 27015 });
    // A non-Steam server with the mod block (empty addresses, version 1).
    QTest::newRow("svencoop-m") << QStringLiteral("info/xpaw-svencoop-m.hex")
                                << record({ "ClanSC #3 - Engage [Logros]", "sc_doc", "svencoop",
                                       "Sven Co-op 4.8", std::nullopt, 0, 16, 47, 0, 'd', 'w', true, false,
                                       std::nullopt, std::nullopt });
    // An HLTV proxy leaves out the final bots byte: everything before it is kept.
    QTest::newRow("hltv-m") << QStringLiteral("info/xpaw-hltv-m.hex")
                            << record({ "Castle Mortimus:0", "op4_kbase", "gearbox", "HLTV", std::nullopt, 0,
                                   1, 48, std::nullopt, 'p', 'w', false, false, std::nullopt, std::nullopt });
}

void tst_A2sCorpus::info()
{
    QFETCH(QString, file);
    QFETCH(A2sInfo, expected);
    const QByteArray bytes = readHex(file);
    QVERIFY2(!bytes.isEmpty(), qPrintable(file));
    QCOMPARE(DecodeA2sInfo(bytes), expected);
}

void tst_A2sCorpus::goldSrcAgreesWithLegacy_data()
{
    QTest::addColumn<QString>("file");
    const QStringList files
        = QDir(corpusDir() + QStringLiteral("/info")).entryList({ QStringLiteral("*-m.hex") }, QDir::Files);
    QVERIFY(files.size() >= 5);
    for (const QString &file : files)
        QTest::newRow(qPrintable(file)) << QStringLiteral("info/") + file;
}

// The 'm' layout begins with the legacy info layout, whose decoding the corpus records pin down:
// both decoders must read those fields alike, and the Steam one must get as far as the VAC byte.
void tst_A2sCorpus::goldSrcAgreesWithLegacy()
{
    QFETCH(QString, file);
    const QByteArray bytes = readHex(file);
    const InfoReply legacy = DecodeInfoReply(bytes);
    const A2sInfo steam = DecodeA2sInfo(bytes);
    QCOMPARE(steam.HostName, legacy.HostName);
    QCOMPARE(steam.MapName, legacy.MapName);
    QCOMPARE(steam.GameDirectory, legacy.GameDirectory);
    QCOMPARE(steam.GameDescription, legacy.GameDescription);
    QCOMPARE(steam.PlayerCount, legacy.PlayerCount);
    QCOMPARE(steam.MaxPlayers, legacy.MaxPlayers);
    QCOMPARE(steam.ProtocolVersion, legacy.ProtocolVersion);
    QVERIFY(steam.Secure.has_value());
}

void tst_A2sCorpus::utf8Names_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("gmod") << QStringLiteral("players/elixir-gmod-113.hex");
    QTest::newRow("csgo") << QStringLiteral("players/xpaw-csgo-reassembled.hex");
}

// Captures with UTF-8 names (full-width and CJK among them): all decode without a replacement.
void tst_A2sCorpus::utf8Names()
{
    QFETCH(QString, file);
    const PlayersReply reply = DecodePlayersReply(readHex(file));
    QVERIFY(reply.Complete && !reply.Players.isEmpty());
    qsizetype beyondAscii = 0;
    for (const PlayerRecord &player : reply.Players) {
        const QString name = Utf8(player.Name);
        QVERIFY2(!name.contains(QChar::ReplacementCharacter), player.Name.toHex().constData());
        QCOMPARE(name.toUtf8(), player.Name);
        beyondAscii += name.size() != player.Name.size() ? 1 : 0;
    }
    QVERIFY(beyondAscii > 0);
}

QTEST_APPLESS_MAIN(tst_A2sCorpus)
#include "tst_a2scorpus.moc"
