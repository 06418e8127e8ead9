// Replies captured from real servers, each decoded and compared with the record written down for it.

#include "ProtocolPrinters.h"
#include "protocol/QueryProtocol.h"
#include "protocol/SplitReassembler.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

// The records write text as Latin-1 code points, so each character is one byte.
QByteArray latin1(const QJsonValue &value)
{
    return value.toString().toLatin1();
}

InfoReply expectedInfo(const QJsonObject &record)
{
    InfoReply want;
    const auto text = [&](const char16_t *name, std::optional<QByteArray> &field) {
        if (!record[QStringView(name)].isNull())
            field = latin1(record[QStringView(name)]);
    };
    const auto number = [&](const char16_t *name, std::optional<quint8> &field) {
        if (!record[QStringView(name)].isNull())
            field = quint8(record[QStringView(name)].toInt());
    };
    text(u"HostName", want.HostName);
    text(u"MapName", want.MapName);
    text(u"GameDirectory", want.GameDirectory);
    text(u"GameDescription", want.GameDescription);
    number(u"PlayerCount", want.PlayerCount);
    number(u"MaxPlayers", want.MaxPlayers);
    number(u"ProtocolVersion", want.ProtocolVersion);
    return want;
}

// With each player's time as shown. A time the layout leaves open is null in the record; this
// program decodes it as 0.
PlayersReply expectedPlayers(const QJsonObject &record, QStringList *shownTimes)
{
    PlayersReply want { {}, record[u"Complete"].toBool() };
    for (const QJsonValue &p : record[u"Records"].toArray()) {
        want.Players.append({ quint8(p[u"Index"].toInt()), latin1(p[u"Name"]),
            qint32(p[u"Frags"].toInteger()), qint32(p[u"Time"].toInteger()) });
        shownTimes->append(
            p[u"Time"].isNull() ? QStringLiteral("00:00:00") : p[u"FormatPlayTime"].toString());
    }
    return want;
}

RulesReply expectedRules(const QJsonObject &record)
{
    RulesReply want { {}, record[u"Complete"].toBool() };
    for (const QJsonValue &rule : record[u"Rules"].toArray())
        want.Rules.append({ latin1(rule[u"Name"]), latin1(rule[u"Value"]) });
    return want;
}

} // namespace

class tst_ReplyCorpus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void decode_data();
    void decode();

    void splitPairs_data();
    void splitPairs();

private:
    QJsonArray m_files;
};

void tst_ReplyCorpus::initTestCase()
{
    QFile file(corpusDir() + QStringLiteral("/expected.json"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName() + u": " + file.errorString()));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    QVERIFY2(!document.isNull(), qPrintable(error.errorString()));
    m_files = document.object().value(u"files").toArray();
    QVERIFY(!m_files.isEmpty());
}

void tst_ReplyCorpus::decode_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QJsonObject>("expected");
    for (const QJsonValue &entry : std::as_const(m_files)) {
        const QJsonObject record = entry.toObject();
        const QString file = record.value(u"file").toString();
        QTest::newRow(qPrintable(file)) << file << record;
    }
}

void tst_ReplyCorpus::decode()
{
    QFETCH(QString, file);
    QFETCH(QJsonObject, expected);

    const QByteArray bytes = readHex(file + u".hex");
    QCOMPARE(bytes.size(), expected.value(u"length").toInteger());

    if (expected.contains(u"PlayersReply")) {
        QStringList shownTimes;
        const PlayersReply got = DecodePlayersReply(bytes);
        QCOMPARE(got, expectedPlayers(expected[u"PlayersReply"].toObject(), &shownTimes));
        for (qsizetype i = 0; i < got.Players.size(); ++i)
            QCOMPARE(FormatPlayTime(got.Players.at(i).Time), shownTimes.at(i));
    } else if (expected.contains(u"InfoReply")) {
        QCOMPARE(DecodeInfoReply(bytes), expectedInfo(expected[u"InfoReply"].toObject()));
    } else {
        QVERIFY2(expected.contains(u"RulesReply"), "record of an unknown kind");
        QCOMPARE(DecodeRulesReply(bytes), expectedRules(expected[u"RulesReply"].toObject()));
    }
}

void tst_ReplyCorpus::splitPairs_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("reassembled"); // empty: nothing may come out

    const QStringList pieces = QDir(corpusDir() + QStringLiteral("/rules"))
                                   .entryList({ QStringLiteral("gameq-*-splitfrag0.hex") }, QDir::Files);
    QVERIFY(!pieces.isEmpty());
    for (const QString &piece : pieces) {
        const QString base = QStringLiteral("rules/") + piece.chopped(int(qstrlen("-splitfrag0.hex")));
        const QString zero = base + u"-splitfrag0.hex";
        const QString one = base + u"-splitfrag1.hex";
        const QString whole = base + u"-reassembled.hex";
        QTest::addRow("%s_inOrder", qPrintable(base)) << zero << one << whole;
        QTest::addRow("%s_reversed", qPrintable(base)) << one << zero << whole;
    }
    // Another engine's pieces share the four-byte mark but not the layout: never joined, and a
    // lone one never passes for a whole reply.
    const QString foreign = QStringLiteral("players/xpaw-csgo-splitfrag0.hex");
    QTest::newRow("foreignFormat") << foreign << foreign << QString();
}

void tst_ReplyCorpus::splitPairs()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, reassembled);

    SplitReassembler reassembler;
    QVERIFY(reassembler.isSplitPiece(readHex(first)));
    QCOMPARE(reassembler.feed(readHex(first)), std::nullopt);
    const std::optional<QByteArray> whole = reassembler.feed(readHex(second));
    if (reassembled.isEmpty()) {
        QCOMPARE(whole, std::nullopt);
        return;
    }
    const QByteArray expected = readHex(reassembled);
    QVERIFY(whole.has_value() && !expected.isEmpty());
    QCOMPARE(whole->toHex(' '), expected.toHex(' '));
    QVERIFY(DecodeRulesReply(*whole).Complete);
}

QTEST_APPLESS_MAIN(tst_ReplyCorpus)
#include "tst_replycorpus.moc"
