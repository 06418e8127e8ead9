// The bounds on a master's list, page by page: each server once, no address that cannot be a
// game server, the user's cap and the ceiling above it, and the end of a master that pages
// forever. Whole exchanges over loopback are in tst_hostilenetwork.

#include "protocol/ServerAddressRules.h"
#include "search/ServerList.h"

#include <QTest>

using namespace rollcall;
using namespace rollcall::protocol;
using namespace rollcall::search;

namespace {

struct Page
{
    QList<ServerEntry> entries;
    QByteArray key;
};

ServerEntry Server(int n)
{
    return { QStringLiteral("10.%1.%2.%3").arg(n >> 16 & 255).arg(n >> 8 & 255).arg(n & 255), 27015 };
}

QList<ServerEntry> Servers(int first, int count)
{
    QList<ServerEntry> list;
    list.reserve(count);
    for (int n = first; n < first + count; ++n)
        list.append(Server(n));
    return list;
}

QByteArray Key(quint8 n)
{
    return QByteArray(3, '\0') + char(n);
}

const QByteArray Final(4, '\0');

} // namespace

Q_DECLARE_METATYPE(Page)
Q_DECLARE_METATYPE(ListEnd)

class TestServerList final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pages_data();
    void pages();
};

void TestServerList::pages_data()
{
    QTest::addColumn<QList<Page>>("pages");
    QTest::addColumn<int>("cap"); // -1: off
    QTest::addColumn<ListEnd>("end");
    QTest::addColumn<int>("endPage"); // the page that ended it; -1: still open after all
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("duplicates");
    QTest::addColumn<int>("unusable");

    const ServerEntry a = Server(1);
    const ServerEntry b = Server(2);
    const ServerEntry samePortElsewhere { QStringLiteral("10.0.0.1"), 27016 };
    QTest::newRow("lastPage") << QList<Page> { { { a }, Key(1) }, { { b }, Final } } << -1
                              << ListEnd::LastPage << 1 << 2 << 0 << 0;
    QTest::newRow("open") << QList<Page> { { { a }, Key(1) } } << -1 << ListEnd::Open << -1 << 1 << 0 << 0;

    // Repeats are passed over as they arrive, within a page and across pages; another port of
    // the same address is another server.
    QList<ServerEntry> copies(1000, a);
    copies << samePortElsewhere;
    QTest::newRow("dup_thousandCopies") << QList<Page> { { copies, Key(1) }, { { a, b, a }, Final } } << -1
                                        << ListEnd::LastPage << 1 << 3 << 1001 << 0;
    // Counted before the cap: two copies and a broadcast do not use up a cap of two.
    const QList<ServerEntry> mixed = { a, a, { QStringLiteral("255.255.255.255"), 27015 }, b, Server(3) };
    QTest::newRow("cap_countsOnlyUsableNew")
        << QList<Page> { { mixed, Key(1) } } << 2 << ListEnd::Cap << 0 << 2 << 1 << 1;
    const QList<ServerEntry> unusable = { { QStringLiteral("0.0.0.0"), 27015 },
        { QStringLiteral("224.0.0.1"), 1 }, { QStringLiteral("240.1.2.3"), 2 },
        { QStringLiteral("10.0.0.9"), 0 }, { QStringLiteral("1.2.3"), 3 } };
    QTest::newRow("unusable_allDropped")
        << QList<Page> { { unusable, Final } } << -1 << ListEnd::LastPage << 0 << 0 << 0 << 5;
    QTest::newRow("cap_belowOneTakesTheFirst")
        << QList<Page> { { { a, b }, Key(1) } } << 0 << ListEnd::Cap << 0 << 1 << 0 << 0;
    QTest::newRow("cap_atPageEnd") << QList<Page> { { { a, b }, Key(1) } } << 2 << ListEnd::Cap << 0 << 2 << 0
                                   << 0;

    // The ceiling: reached only when a new server beyond it is offered; it bounds a cap above it.
    const int ceiling = int(ServerList::Ceiling);
    const Page full { Servers(0, ceiling), Key(1) };
    QTest::newRow("ceiling_exactlyThenFinal")
        << QList<Page> { full, { {}, Final } } << -1 << ListEnd::LastPage << 1 << ceiling << 0 << 0;
    QTest::newRow("ceiling_oneMore") << QList<Page> { full, { { Server(ceiling) }, Key(2) } } << -1
                                     << ListEnd::Ceiling << 1 << ceiling << 0 << 0;
    QTest::newRow("ceiling_boundsHigherCap") << QList<Page> { { Servers(0, ceiling + 5), Key(1) } } << 500000
                                             << ListEnd::Ceiling << 0 << ceiling << 0 << 0;
    QTest::newRow("ceiling_capAtItIsTheCap") << QList<Page> { { Servers(0, ceiling + 5), Key(1) } } << ceiling
                                             << ListEnd::Cap << 0 << ceiling << 0 << 0;
    QTest::newRow("ceiling_repeatsDoNotReachIt")
        << QList<Page> { full, { { a, Server(ceiling - 1) }, Final } } << -1 << ListEnd::LastPage << 1
        << ceiling << 2 << 0;

    // A master that pages forever.
    QTest::newRow("loop_keyRepeated")
        << QList<Page> { { { a }, Key(1) }, { { b }, Key(2) }, { { Server(3) }, Key(1) } } << -1
        << ListEnd::KeyRepeated << 2 << 3 << 0 << 0;
    QList<Page> barren;
    for (int i = 0; i < ServerList::MaxBarrenPages; ++i)
        barren.append({ {}, Key(quint8(i + 1)) });
    QTest::newRow("loop_tenEmptyPages")
        << barren << -1 << ListEnd::BarrenPages << ServerList::MaxBarrenPages - 1 << 0 << 0 << 0;
    // Pages of servers already listed add nobody either.
    QList<Page> repeats = { { { a }, Key(100) } };
    for (int i = 0; i < ServerList::MaxBarrenPages; ++i)
        repeats.append({ { a }, Key(quint8(i + 1)) });
    QTest::newRow("loop_tenPagesOfRepeats")
        << repeats << -1 << ListEnd::BarrenPages << ServerList::MaxBarrenPages << 1 << 10 << 0;
    // A page that adds someone starts the count again.
    QList<Page> interrupted = barren.first(ServerList::MaxBarrenPages - 1);
    interrupted.append({ { a }, Key(200) });
    interrupted.append(barren.first(ServerList::MaxBarrenPages - 1));
    for (int i = ServerList::MaxBarrenPages; i < interrupted.size(); ++i)
        interrupted[i].key = Key(quint8(100 + i));
    QTest::newRow("loop_emptyRunInterrupted") << interrupted << -1 << ListEnd::Open << -1 << 1 << 0 << 0;
}

void TestServerList::pages()
{
    QFETCH(QList<Page>, pages);
    QFETCH(int, cap);
    QFETCH(ListEnd, end);
    QFETCH(int, endPage);
    QFETCH(int, size);
    QFETCH(int, duplicates);
    QFETCH(int, unusable);

    ServerList list(cap >= 0 ? std::optional<qint32>(cap) : std::nullopt);
    ListEnd got = ListEnd::Open;
    int at = -1;
    for (int i = 0; i < pages.size() && got == ListEnd::Open; ++i) {
        got = list.addPage(pages.at(i).entries, pages.at(i).key);
        at = got == ListEnd::Open ? -1 : i;
    }
    QCOMPARE(got, end);
    QCOMPARE(at, endPage);
    QCOMPARE(list.size(), size);
    QCOMPARE(list.duplicates(), duplicates);
    QCOMPARE(list.unusable(), unusable);
    // The order of first appearance is kept: the first servers listed are the ones asked.
    for (const Page &page : std::as_const(pages)) {
        if (size > 0 && !page.entries.isEmpty() && protocol::IsQueryableServer(page.entries.first())) {
            QCOMPARE(list.servers().first(), page.entries.first());
            break;
        }
    }
}

QTEST_GUILESS_MAIN(TestServerList)
#include "tst_serverlist.moc"
