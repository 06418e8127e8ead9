// rollcall-find's output formats on their own: what a cell may hold, and the search rows as
// JSON.

#include "Output.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace rollcall;

namespace {

// The reader a script would write: every escape back to its character. Anything the escaping
// never writes makes the whole cell unreadable.
std::optional<QString> unescape(const QByteArray &cell)
{
    const QString text = QString::fromUtf8(cell);
    const QString named = QStringLiteral("\\\\t\tr\rn\n"); // pairs: letter, character
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            out += text[i];
            continue;
        }
        const QStringView rest = QStringView(text).mid(i + 1);
        const qsizetype letter = rest.isEmpty() ? -1 : named.indexOf(rest.front());
        qsizetype from = 0;
        qsizetype digits = 0;
        qsizetype length = 1;
        if (rest.startsWith(u'x')) {
            from = 1;
            digits = 2;
            length = 3;
        } else if (rest.startsWith(u"u{") && rest.mid(6, 1) == u"}") {
            from = 2;
            digits = 4;
            length = 7;
        }
        bool ok = false;
        const uint code = digits ? rest.mid(from, digits).toUInt(&ok, 16) : 0;
        if (digits ? !ok : letter < 0 || letter % 2 != 0)
            return std::nullopt;
        out += digits ? QChar(char16_t(code)) : named[letter + 1];
        i += length;
    }
    return out;
}

QString codes(std::initializer_list<char16_t> list)
{
    QString text;
    for (const char16_t c : list)
        text += QChar(c);
    return text;
}

QString range(char16_t first, char16_t last)
{
    QString text;
    for (char16_t c = first; c <= last; ++c)
        text += QChar(c);
    return text;
}

search::ResultRow row(const QString &port, const QString &ping, const QString &frags, const QString &time,
    std::optional<qint32> seconds)
{
    search::ResultRow r;
    r.Cells = { QStringLiteral("127.0.0.1"), port, ping, QStringLiteral("Bob"), frags, time };
    r.Seconds = seconds;
    return r;
}

} // namespace

class tst_FindOutput final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void escapeCell_data();
    void escapeCell();
    void rowsJson_data();
    void rowsJson();
};

void tst_FindOutput::escapeCell_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("named_backslashTabCrLf")
        << QStringLiteral("a\\b\tc\rd\ne") << QByteArray("a\\\\b\\tc\\rd\\ne");
    QTest::newRow("c0_nulBellEscape")
        << codes({ 0x00, 0x07, 0x1b, u'[', u'2', u'J' }) << QByteArray("\\x00\\x07\\x1b[2J");
    QByteArray allC0;
    for (int c = 0; c < 0x20; ++c) {
        const QByteArray named = c == '\t' ? "\\t" : c == '\r' ? "\\r" : c == '\n' ? "\\n" : "";
        allC0 += named.isEmpty() ? "\\x" + QByteArray::number(c, 16).rightJustified(2, '0') : named;
    }
    QTest::newRow("c0_every") << range(0x00, 0x1f) << allC0;
    QTest::newRow("del") << codes({ u'~', 0x7f }) << QByteArray("~\\x7f");
    QTest::newRow("c1_ends") << codes({ 0x80, 0x85, 0x9b, 0x9f }) << QByteArray("\\x80\\x85\\x9b\\x9f");
    QTest::newRow("bidi_overrides") << range(0x202a, 0x202e)
                                    << QByteArray("\\u{202a}\\u{202b}\\u{202c}\\u{202d}\\u{202e}");
    QTest::newRow("bidi_isolates") << range(0x2066, 0x2069)
                                   << QByteArray("\\u{2066}\\u{2067}\\u{2068}\\u{2069}");
    // Right next to the escaped ranges, and text that only looks like an escape.
    QTest::newRow("kept_neighbours") << codes({ 0x20, 0x7e, 0xa0, 0xff, 0x2029, 0x202f, 0x2065, 0x206a })
                                     << QStringLiteral(u" ~\u00a0\u00ff\u2029\u202f\u2065\u206a").toUtf8();
    QTest::newRow("kept_astral") << QStringLiteral(u"\U0001F600") << QByteArray("\xf0\x9f\x98\x80");
    QTest::newRow("lookalike") << QStringLiteral("\\x1b\\u{202e}\\N")
                               << QByteArray("\\\\x1b\\\\u{202e}\\\\N");
    QTest::newRow("allEscapes") << codes({ u'\\', 0x01, 0x7f, 0x9f, 0x202e, 0x2069, u'\n' })
                                << QByteArray("\\\\\\x01\\x7f\\x9f\\u{202e}\\u{2069}\\n");
    QTest::newRow("empty") << QString() << QByteArray();
}

void tst_FindOutput::escapeCell()
{
    QFETCH(QString, cell);
    QFETCH(QByteArray, expected);
    const QByteArray escaped = find::EscapeTsvCell(cell);
    QCOMPARE(escaped, expected);
    QCOMPARE(unescape(escaped), std::optional<QString>(cell));
    // Nothing left that a terminal acts on, and nothing that splits a line into cells.
    for (const QChar c : QString::fromUtf8(escaped)) {
        const char16_t code = c.unicode();
        QVERIFY2(code >= 0x20 && (code < 0x7f || code > 0x9f) && (code < 0x202a || code > 0x202e)
                && (code < 0x2066 || code > 0x2069),
            qPrintable(QString::number(code, 16)));
    }
}

void tst_FindOutput::rowsJson_data()
{
    QTest::addColumn<search::ResultRow>("row");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("numbers") << row("27015", "42", "-3", "01:02:05", 3725)
                             << QByteArray(R"([{"frags":-3,"ip":"127.0.0.1","name":"Bob","ping":42,)"
                                           R"("port":27015,"seconds":3725,"time":"01:02:05"}])");
    // A refresh that found the player gone leaves "-" where the numbers were.
    QTest::newRow("noNumbers") << row("27015", "9999", "-", "-", std::nullopt)
                               << QByteArray(R"([{"frags":null,"ip":"127.0.0.1","name":"Bob","ping":9999,)"
                                             R"("port":27015,"seconds":null,"time":"-"}])");
}

void tst_FindOutput::rowsJson()
{
    QFETCH(search::ResultRow, row);
    QFETCH(QByteArray, expected);
    QCOMPARE(QJsonDocument::fromJson(find::RowsJson({ row })).toJson(QJsonDocument::Compact), expected);
}

QTEST_APPLESS_MAIN(tst_FindOutput)
#include "tst_findoutput.moc"
