// Replies captured from real servers, each decoded and compared with the record written down for it.

#include "ProtocolPrinters.h"
#include "QueryProtocol.h"
#include "SplitReassembler.h"

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
bool latin1Bytes(const QJsonValue &value, QByteArray *bytes)
{
    const QString text = value.toString();
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return false;
    }
    *bytes = text.toLatin1();
    return true;
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
    void foreignSplitFormatStaysIncomplete();

private:
    void comparePlayers(const QByteArray &bytes, const QJsonObject &expected);
    void compareInfo(const QByteArray &bytes, const QJsonObject &expected);
    void compareRules(const QByteArray &bytes, const QJsonObject &expected);

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

    if (expected.contains(u"PlayersReply"))
        comparePlayers(bytes, expected.value(u"PlayersReply").toObject());
    else if (expected.contains(u"InfoReply"))
        compareInfo(bytes, expected);
    else if (expected.contains(u"RulesReply"))
        compareRules(bytes, expected.value(u"RulesReply").toObject());
    else
        QFAIL("record of an unknown kind");
}

void tst_ReplyCorpus::comparePlayers(const QByteArray &bytes, const QJsonObject &expected)
{
    PlayersReply want;
    want.Complete = expected.value(u"Complete").toBool();
    QStringList shownTimes;
    for (const QJsonValue &value : expected.value(u"Records").toArray()) {
        const QJsonObject record = value.toObject();
        PlayerRecord player;
        player.Index = quint8(record.value(u"Index").toInt());
        QVERIFY2(latin1Bytes(record.value(u"Name"), &player.Name), "a name beyond Latin-1 in the record");
        player.Frags = qint32(record.value(u"Frags").toInteger());
        if (record.value(u"Time").isNull()) {
            // Left open by the layout; this program decodes such a time as 0.
            QVERIFY(record.value(u"TimeImplementationDefined").toBool());
            player.Time = 0;
            shownTimes.append(QStringLiteral("00:00:00"));
        } else {
            player.Time = qint32(record.value(u"Time").toInteger());
            shownTimes.append(record.value(u"FormatPlayTime").toString());
        }
        want.Players.append(player);
    }

    const PlayersReply got = DecodePlayersReply(bytes);
    QCOMPARE(got, want);
    for (qsizetype i = 0; i < got.Players.size(); ++i)
        QCOMPARE(FormatPlayTime(got.Players.at(i).Time), shownTimes.at(i));
    QVERIFY(bytes.size() > 5);
    QCOMPARE(int(quint8(bytes.at(5))), expected.value(u"RecordCount").toInt());
}

void tst_ReplyCorpus::compareInfo(const QByteArray &bytes, const QJsonObject &record)
{
    const QJsonObject expected = record.value(u"InfoReply").toObject();
    const auto text = [&](const char16_t *name, std::optional<QByteArray> *field) {
        const QJsonValue value = expected.value(QStringView(name));
        if (value.isNull())
            return true;
        QByteArray bytesOfText;
        if (!latin1Bytes(value, &bytesOfText))
            return false;
        *field = bytesOfText;
        return true;
    };
    const auto number = [&](const char16_t *name, std::optional<quint8> *field) {
        const QJsonValue value = expected.value(QStringView(name));
        if (!value.isNull())
            *field = quint8(value.toInt());
    };

    InfoReply want;
    QVERIFY(text(u"HostName", &want.HostName));
    QVERIFY(text(u"MapName", &want.MapName));
    QVERIFY(text(u"GameDirectory", &want.GameDirectory));
    QVERIFY(text(u"GameDescription", &want.GameDescription));
    number(u"PlayerCount", &want.PlayerCount);
    number(u"MaxPlayers", &want.MaxPlayers);
    number(u"ProtocolVersion", &want.ProtocolVersion);
    QCOMPARE(DecodeInfoReply(bytes), want);
}

void tst_ReplyCorpus::compareRules(const QByteArray &bytes, const QJsonObject &expected)
{
    RulesReply want;
    want.Complete = expected.value(u"Complete").toBool();
    for (const QJsonValue &value : expected.value(u"Rules").toArray()) {
        ServerRule rule;
        QVERIFY(latin1Bytes(value.toObject().value(u"Name"), &rule.Name));
        QVERIFY(latin1Bytes(value.toObject().value(u"Value"), &rule.Value));
        want.Rules.append(rule);
    }
    QCOMPARE(DecodeRulesReply(bytes), want);
}

void tst_ReplyCorpus::splitPairs_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QString>("reassembled");

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
}

void tst_ReplyCorpus::splitPairs()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, reassembled);

    const QByteArray expected = readHex(reassembled);
    QVERIFY(!expected.isEmpty());

    SplitReassembler reassembler;
    QVERIFY(reassembler.isSplitPiece(readHex(first)));
    QCOMPARE(reassembler.feed(readHex(first)), std::nullopt);
    const std::optional<QByteArray> whole = reassembler.feed(readHex(second));
    QVERIFY(whole.has_value());
    QCOMPARE(whole->toHex(' '), expected.toHex(' '));
    QVERIFY(DecodeRulesReply(*whole).Complete);
}

void tst_ReplyCorpus::foreignSplitFormatStaysIncomplete()
{
    // Another engine's pieces share the four-byte mark but not the layout; Rollcall does not
    // join them, and a lone one must never pass for a whole reply.
    const QByteArray piece = readHex(QStringLiteral("players/xpaw-csgo-splitfrag0.hex"));
    QVERIFY(!piece.isEmpty());

    SplitReassembler reassembler;
    QVERIFY(reassembler.isSplitPiece(piece));
    QCOMPARE(reassembler.feed(piece), std::nullopt);
    QCOMPARE(reassembler.feed(piece), std::nullopt);

    const QByteArray plain = readHex(QStringLiteral("players/valvewiki-example.hex"));
    QCOMPARE(reassembler.feed(plain), std::optional<QByteArray>(plain));
}

QTEST_APPLESS_MAIN(tst_ReplyCorpus)
#include "tst_replycorpus.moc"
